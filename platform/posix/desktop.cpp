// The emulated system locale and the reset of the whole simulated desktop.
#include "desktop.h"

#include "sim.h"

namespace platform {
namespace {

desktop::Locale TheLocale = desktop::Locale::JaJP;

}  // namespace

desktop::Locale sim::CurrentLocale() { return TheLocale; }
void sim::ResetLocale() { TheLocale = desktop::Locale::JaJP; }

void desktop::SetLocale(Locale L) { TheLocale = L; }

void desktop::Reset() {
  sim::ResetLocale();
  sim::ResetQueue();
  sim::ResetWindows();
  sim::ResetMenus();
  sim::ResetDialogs();
  sim::ResetClock();
  sim::ResetVersions();
}

}  // namespace platform
