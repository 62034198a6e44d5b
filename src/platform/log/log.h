#pragma once
// Diagnostic logging, silent by default. LUMVEK_LOG names the categories to
// print on standard error ("usb,camera", or "all"), each line with the
// seconds since the library was loaded. Never used on the per-frame path.
#include <cstdarg>

namespace lumvek::platform {

enum class LogCategory { Api, Instance, Camera, Usb, Sensor, Imaging, Output, Settings, Platform, Sim };

[[nodiscard]] bool logEnabled(LogCategory category);
void logf(LogCategory category, const char* format, ...) __attribute__((format(printf, 2, 3)));

} // namespace lumvek::platform
