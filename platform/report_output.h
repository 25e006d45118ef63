#pragma once

#include <string>

namespace platform {

// Writes a line of a report to standard output: to a console as it is, to a file or a pipe in
// UTF-8, so that any name reads as it is. For media-check; the launcher's own output is
// WriteDiagnostic's.
void WriteReportLine(const std::wstring &line);

} // namespace platform
