#pragma once

namespace parlix {

// `parlix export ...`: writes the received SMS of a date range to a file, for scripted and
// scheduled exports. Makes its own application object; returns the process exit code
// (0 written, 1 the export could not be done, 2 bad arguments).
int runExportCommand(int argc, char **argv);

} // namespace parlix
