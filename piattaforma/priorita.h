#pragma once

// Thread priorities: the serial thread, which stamps the device's replies,
// outranks every other thread of the program. It is raised where the system
// allows it; where it does not, the threads that could take its CPU (the live
// page's server, reports and exports, the lap writer) lower themselves instead.
namespace priorita {

// On the serial thread: as high as allowed. True when it now runs above normal.
bool alzaQuesto();
// On a server, report or writer thread: below normal, unless the serial thread
// can be raised above the rest (then nothing changes).
void cediQuesto();
// Whether this program may raise a thread above normal (asked once).
bool alzabile();

} // namespace priorita
