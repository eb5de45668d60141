// Reading RFC 5322 messages with GMime: decoded headers and the text body, in the code page.
#include <gmime/gmime.h>

#include <algorithm>
#include <memory>
#include <string>
#include <utility>

#include "host/headless_host.h"

namespace host {

namespace {

// GObject references released by scope.
struct Unref {
  void operator()(gpointer Object) const {
    if (Object) g_object_unref(Object);
  }
};
template <typename T>
using Ref = std::unique_ptr<T, Unref>;

void InitOnce() {
  static const bool Done = [] {
    g_mime_init();
    return true;
  }();
  static_cast<void>(Done);
}

// Valid UTF-8 from any bytes: invalid sequences become U+FFFD, which the code page shows as "?".
// glib counts a NUL as invalid, and the repaired text ends there.
std::string ValidUtf8(std::string Text) {
  if (g_utf8_validate(Text.data(), static_cast<gssize>(Text.size()), nullptr)) return Text;
  gchar* Fixed = g_utf8_make_valid(Text.data(), static_cast<gssize>(Text.size()));
  std::string Out = Fixed;
  g_free(Fixed);
  return Out;
}

// Bytes 1 to 127 only (no NUL, which ValidUtf8 would cut at): valid UTF-8 that every ASCII-based
// charset and both code pages map to itself.
bool PlainAscii(std::string_view Text) {
  return platform::IsAscii(Text) && Text.find('\0') == std::string_view::npos;
}

// Charsets that map every byte from 1 to 127 to the same character, without shift states.
// Shift_JIS is not one: iconv reads 0x5C and 0x7E as yen sign and overline.
bool AsciiBased(const char* Charset) {
  static constexpr const char* kNames[] = {
      "us-ascii",    "utf-8",        "iso-8859-1",   "iso-8859-2",   "iso-8859-3",   "iso-8859-4",
      "iso-8859-5",  "iso-8859-6",   "iso-8859-7",   "iso-8859-8",   "iso-8859-9",   "iso-8859-10",
      "iso-8859-13", "iso-8859-14",  "iso-8859-15",  "iso-8859-16",  "windows-1250", "windows-1251",
      "windows-1252", "windows-1253", "windows-1254", "windows-1255", "windows-1256", "windows-1257",
      "windows-1258", "euc-jp",       "euc-kr",       "gb2312",       "gbk",          "gb18030",
      "big5",         "koi8-r",       "koi8-u"};
  for (const char* Name : kNames) {
    if (g_ascii_strcasecmp(Charset, Name) == 0) return true;
  }
  return false;
}

// UTF-8 as code-page text; plain ASCII is already that.
std::string CodePageText(std::string Utf8) {
  if (PlainAscii(Utf8)) return Utf8;
  return platform::FromUtf8(Utf8);
}

// Every LF follows a CR and every CR comes before an LF (found by memchr, a line at a time).
bool AllCrLf(std::string_view Text) {
  for (std::size_t Lf = Text.find('\n'); Lf != std::string_view::npos; Lf = Text.find('\n', Lf + 1)) {
    if (Lf == 0 || Text[Lf - 1] != '\r') return false;
  }
  for (std::size_t Cr = Text.find('\r'); Cr != std::string_view::npos; Cr = Text.find('\r', Cr + 1)) {
    if (Cr + 1 == Text.size() || Text[Cr + 1] != '\n') return false;
  }
  return true;
}

// Every line break as CR LF, as the client hands texts over.
std::string CrLf(std::string Text) {
  if (AllCrLf(Text)) return Text;
  std::string Out;
  Out.reserve(Text.size() + Text.size() / 16);
  for (std::size_t I = 0; I < Text.size(); ++I) {
    char C = Text[I];
    if (C == '\r') {
      Out += "\r\n";
      if (I + 1 < Text.size() && Text[I + 1] == '\n') ++I;
    } else if (C == '\n') {
      Out += "\r\n";
    } else {
      Out += C;
    }
  }
  return Out;
}

bool IsText(GMimeObject* Part, const char* Subtype) {
  GMimeContentType* Type = g_mime_object_get_content_type(Part);
  return GMIME_IS_PART(Part) && Type && g_mime_content_type_is_type(Type, "text", Subtype);
}

// The first leaf of that text subtype, depth first; attachments of that type count too, as in the
// client, since the first one is almost always the body.
GMimeObject* FindText(GMimeObject* Object, const char* Subtype) {
  if (!Object) return nullptr;
  if (GMIME_IS_MULTIPART(Object)) {
    GMimeMultipart* Multi = GMIME_MULTIPART(Object);
    int Count = g_mime_multipart_get_count(Multi);
    for (int I = 0; I < Count; ++I) {
      if (GMimeObject* Found = FindText(g_mime_multipart_get_part(Multi, I), Subtype)) return Found;
    }
    return nullptr;
  }
  return IsText(Object, Subtype) ? Object : nullptr;
}

// The content with its transfer encoding undone, then through the charset filter if one is given.
std::string ReadContent(GMimeDataWrapper* Content, GMimeFilter* Charset) {
  // Sized for the encoded content, which is about as long as the decoded, to spare regrowing.
  const gint64 Length = g_mime_stream_length(g_mime_data_wrapper_get_stream(Content));
  GByteArray* Array = g_byte_array_sized_new(Length > 0 ? static_cast<guint>(std::min<gint64>(Length, G_MAXUINT)) : 0);
  Ref<GMimeStream> Memory(g_mime_stream_mem_new_with_byte_array(Array));
  g_mime_stream_mem_set_owner(GMIME_STREAM_MEM(Memory.get()), TRUE);
  Ref<GMimeStream> Filtered(g_mime_stream_filter_new(Memory.get()));
  if (Charset) g_mime_stream_filter_add(GMIME_STREAM_FILTER(Filtered.get()), Charset);
  g_mime_data_wrapper_write_to_stream(Content, Filtered.get());
  g_mime_stream_flush(Filtered.get());
  GByteArray* Bytes = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(Memory.get()));
  return std::string(reinterpret_cast<const char*>(Bytes->data), Bytes->len);
}

// The part's content in UTF-8: transfer encoding undone, then its charset converted.
std::string DecodePart(GMimeObject* Object) {
  GMimeDataWrapper* Content = g_mime_part_get_content(GMIME_PART(Object));
  if (!Content) return {};
  const char* Charset = g_mime_object_get_content_type_parameter(Object, "charset");
  std::string Raw = ReadContent(Content, nullptr);
  // Plain ASCII in an ASCII-based charset comes out of every step below as it went in.
  if (PlainAscii(Raw) && (!Charset || AsciiBased(Charset))) return Raw;
  if (Charset) {
    // An unknown charset gets no filter; the bytes are then read as UTF-8 as far as they go.
    if (GMimeFilter* Filter = g_mime_filter_charset_new(Charset, "UTF-8")) {
      Raw = ReadContent(Content, Filter);
      g_object_unref(Filter);
    }
  }
  if (!Charset && !g_utf8_validate(Raw.data(), static_cast<gssize>(Raw.size()), nullptr)) {
    // Unlabelled 8-bit text: Latin-1 is the old default and maps every byte.
    if (gchar* Latin = g_convert(Raw.data(), static_cast<gssize>(Raw.size()), "UTF-8", "ISO-8859-1",
                                 nullptr, nullptr, nullptr)) {
      Raw = Latin;
      g_free(Latin);
    }
  }
  return ValidUtf8(std::move(Raw));
}

}  // namespace

std::string Message::Header(std::string_view Name) const {
  for (const auto& [N, V] : Headers) {
    if (platform::AnsiCompareText(N, Name) == 0) return V;
  }
  return {};
}

std::optional<Message> ParseMessage(std::string_view Rfc5322, std::string& Error) {
  InitOnce();
  if (Rfc5322.find_first_not_of(" \t\r\n") == std::string_view::npos) {
    Error = "empty message";
    return std::nullopt;
  }
  // The stream copies the bytes, so the view need not outlive it.
  Ref<GMimeStream> Stream(g_mime_stream_mem_new_with_buffer(Rfc5322.data(), Rfc5322.size()));
  Ref<GMimeParser> Parser(g_mime_parser_new_with_stream(Stream.get()));
  Ref<GMimeMessage> Parsed(g_mime_parser_construct_message(Parser.get(), nullptr));
  if (!Parsed) {
    Error = "not an RFC 5322 message";
    return std::nullopt;
  }
  Message M;
  GMimeHeaderList* List = g_mime_object_get_header_list(GMIME_OBJECT(Parsed.get()));
  int Count = List ? g_mime_header_list_get_count(List) : 0;
  for (int I = 0; I < Count; ++I) {
    GMimeHeader* H = g_mime_header_list_get_header_at(List, I);
    const char* Name = g_mime_header_get_name(H);
    const char* Value = g_mime_header_get_value(H);
    M.Headers.emplace_back(Name ? Name : "", platform::FromUtf8(ValidUtf8(Value ? Value : "")));
  }
  if (M.Headers.empty()) {
    Error = "not an RFC 5322 message: no header fields";
    return std::nullopt;
  }
  GMimeObject* Top = g_mime_message_get_mime_part(Parsed.get());
  if (GMimeObject* Plain = FindText(Top, "plain")) {
    M.Body = DecodePart(Plain);
  } else if (GMimeObject* Html = FindText(Top, "html")) {
    M.Body = DecodePart(Html);
    M.MimeType = "text/html";
  }
  M.Body = CodePageText(CrLf(std::move(M.Body)));
  return M;
}

std::optional<Message> LoadMessageFile(const std::string& Path, std::string& Error) {
  std::optional<std::string> Data = platform::ReadFile(Path);
  if (!Data) {
    Error = "cannot read message file '" + Path + "'";
    return std::nullopt;
  }
  std::string Why;
  std::optional<Message> M = ParseMessage(*Data, Why);
  if (!M) Error = "message file '" + Path + "': " + Why;
  return M;
}

std::string MailId(std::string_view Folder, std::uint32_t Number) {
  char Hex[17];
  std::snprintf(Hex, sizeof Hex, "%016llX", static_cast<unsigned long long>(Number));
  return std::string(Folder) + "?" + Hex;
}

std::string RefValue(std::string_view Folder, std::uint32_t Number) {
  return std::string(Folder) + ">" + std::to_string(Number);
}

}  // namespace host
