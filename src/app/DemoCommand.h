#pragma once

namespace parlix {

// `parlix --demo`: the built-in modem simulator on a pseudo-terminal, a fresh demo database in
// a temporary folder pointed at it, a few incoming SMS, a missed call and two SMS to send, and
// the gateway running on them (windowed when gui, else headless until SIGINT or SIGTERM). The
// default database is never opened. Returns the exit status.
int runDemo(bool gui);

} // namespace parlix
