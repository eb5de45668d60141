// ParseMessage's shortcuts for plain ASCII bodies (no charset conversion, no UTF-8 repair, no
// code-page conversion, no line-break rewrite) against the straight GMime decoding they stand for.
#include <gmime/gmime.h>

#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "host/headless_host.h"
#include "platform/posix/desktop.h"

namespace {

namespace desk = platform::desktop;

std::string Utf8Repaired(std::string_view Text) {
  if (g_utf8_validate(Text.data(), static_cast<gssize>(Text.size()), nullptr)) return std::string(Text);
  gchar* Fixed = g_utf8_make_valid(Text.data(), static_cast<gssize>(Text.size()));
  std::string Out = Fixed;
  g_free(Fixed);
  return Out;
}

// The body every step at a time: one pass through the charset filter, Latin-1 for unlabelled
// 8-bit text, UTF-8 repair, CR LF line breaks, then the code page.
std::string ReferenceBody(std::string_view Raw) {
  GMimeStream* Source = g_mime_stream_mem_new_with_buffer(Raw.data(), Raw.size());
  GMimeParser* Parser = g_mime_parser_new_with_stream(Source);
  GMimeMessage* Parsed = g_mime_parser_construct_message(Parser, nullptr);
  std::string Text;
  GMimeObject* Part = Parsed ? g_mime_message_get_mime_part(Parsed) : nullptr;
  if (Part && GMIME_IS_PART(Part)) {
    GMimeDataWrapper* Content = g_mime_part_get_content(GMIME_PART(Part));
    GMimeStream* Memory = g_mime_stream_mem_new();
    GMimeStream* Filtered = g_mime_stream_filter_new(Memory);
    const char* Charset = g_mime_object_get_content_type_parameter(Part, "charset");
    if (Charset) {
      if (GMimeFilter* Filter = g_mime_filter_charset_new(Charset, "UTF-8")) {
        g_mime_stream_filter_add(GMIME_STREAM_FILTER(Filtered), Filter);
        g_object_unref(Filter);
      }
    }
    g_mime_data_wrapper_write_to_stream(Content, Filtered);
    g_mime_stream_flush(Filtered);
    GByteArray* Bytes = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(Memory));
    Text.assign(reinterpret_cast<const char*>(Bytes->data), Bytes->len);
    g_object_unref(Filtered);
    g_object_unref(Memory);
    if (!Charset && !g_utf8_validate(Text.data(), static_cast<gssize>(Text.size()), nullptr)) {
      if (gchar* Latin = g_convert(Text.data(), static_cast<gssize>(Text.size()), "UTF-8", "ISO-8859-1", nullptr,
                                   nullptr, nullptr)) {
        Text = Latin;
        g_free(Latin);
      }
    }
    Text = Utf8Repaired(Text);
  }
  if (Parsed) g_object_unref(Parsed);
  g_object_unref(Parser);
  g_object_unref(Source);
  std::string CrLf;
  for (std::size_t I = 0; I < Text.size(); ++I) {
    if (Text[I] == '\r' || Text[I] == '\n') {
      CrLf += "\r\n";
      if (Text[I] == '\r' && I + 1 < Text.size() && Text[I + 1] == '\n') ++I;
    } else {
      CrLf += Text[I];
    }
  }
  return platform::FromUtf8(CrLf);
}

// Every byte as =XX, with soft line breaks.
std::string QuotedPrintable(std::string_view Body) {
  std::string Out;
  for (std::size_t I = 0; I < Body.size(); ++I) {
    char Hex[4];
    std::snprintf(Hex, sizeof Hex, "=%02X", static_cast<unsigned char>(Body[I]));
    Out += Hex;
    if (I % 20 == 19) Out += "=\r\n";
  }
  return Out;
}

std::string Base64(std::string_view Body) {
  gchar* Encoded = g_base64_encode(reinterpret_cast<const guchar*>(Body.data()), Body.size());
  std::string Out;
  for (std::size_t I = 0; Encoded[I] != '\0'; ++I) {
    Out += Encoded[I];
    if (I % 76 == 75) Out += "\r\n";
  }
  g_free(Encoded);
  return Out;
}

TEST(MessageDecoding, PlainAsciiShortcutsAgreeWithTheFullDecoding) {
  std::string AllAscii;
  for (int B = 1; B < 128; ++B) AllAscii += static_cast<char>(B);
  std::string Long;  // past GMime's 4 KiB chunks, with a multi-byte character across each boundary
  for (int I = 0; I < 200; ++I) Long += "line \xE6\x97\xA5 \x82\xA0 text\r\n";
  const std::vector<std::string> Bodies = {
      "",
      "hello\r\nworld\r\n",
      "unix\nlines\n",
      "lone LF\nlone CR\rpair\r\n\r\rend",
      "no break at the end",
      AllAscii,
      std::string("before\0after\r\n", 14),
      "yen \\ and tilde ~\r\n",
      "UTF-7 +ZeVnLA- and HZ ~{<:Ky2;S{#,~}\r\n",
      "ISO-2022-JP \x1B$BF|K\\\x1B(B\r\n",
      "Latin-1 caf\xE9\r\n",
      "UTF-8 \xE6\x97\xA5\xE6\x9C\xAC\r\n",
      "Shift_JIS \x93\xFA\x96\x7B\r\n",
      "broken \xE6\x97 and \xFF\xFE\r\n",
      Long,
  };
  const std::vector<const char*> Charsets = {
      nullptr,        "us-ascii",     "US-ASCII",     "utf-8",        "UTF-8",        "iso-8859-1",
      "iso-8859-2",   "iso-8859-3",   "iso-8859-4",   "iso-8859-5",   "iso-8859-6",   "iso-8859-7",
      "iso-8859-8",   "iso-8859-9",   "iso-8859-10",  "iso-8859-13",  "iso-8859-14",  "iso-8859-15",
      "iso-8859-16",  "windows-1250", "windows-1251", "Windows-1252", "windows-1253", "windows-1254",
      "windows-1255", "windows-1256", "windows-1257", "windows-1258", "euc-jp",       "euc-kr",
      "gb2312",       "gbk",          "gb18030",      "big5",         "koi8-r",       "koi8-u",
      "shift_jis",    "iso-2022-jp",  "utf-7",        "utf-16",       "hz-gb-2312",   "ibm037",
      "x-unknown"};
  struct Encoding {
    const char* Header;  // nullptr: none
    std::string (*Encode)(std::string_view);
  };
  const Encoding Encodings[] = {
      {nullptr, nullptr},
      {"8bit", nullptr},
      {"quoted-printable", QuotedPrintable},
      {"base64", Base64},
  };
  for (desk::Locale L : {desk::Locale::JaJP, desk::Locale::EnUS}) {
    desk::SetLocale(L);
    for (const char* Charset : Charsets) {
      for (const Encoding& E : Encodings) {
        for (std::size_t B = 0; B < Bodies.size(); ++B) {
          std::string Raw = "From: a\r\nSubject: s\r\nContent-Type: text/plain";
          if (Charset) Raw += std::string("; charset=") + Charset;
          Raw += "\r\n";
          if (E.Header) Raw += std::string("Content-Transfer-Encoding: ") + E.Header + "\r\n";
          Raw += "\r\n" + (E.Encode ? E.Encode(Bodies[B]) : Bodies[B]);
          std::string Error;
          std::optional<host::Message> M = host::ParseMessage(Raw, Error);
          ASSERT_TRUE(M) << Error;
          EXPECT_TRUE(M->Body == ReferenceBody(Raw))
              << "charset " << (Charset ? Charset : "(none)") << ", encoding " << (E.Header ? E.Header : "(none)")
              << ", body " << B << ", code page " << platform::CodePage();
        }
      }
    }
  }
  desk::SetLocale(desk::Locale::JaJP);
}

}  // namespace
