// Start-up of the programs: the protocol names looked up in the system's
// protocol file only.
#pragma once

namespace vantocli {

// Makes the C library look protocol names up in /etc/protocols alone, not
// through the other sources the name service switch may list first. Starting
// ZeroMQ looks up one protocol name ("pgm", for a transport the programs never
// use); where the switch lists "db" first, that lookup searches every library
// directory for a module that is seldom installed, a large share of a short
// run's start-up. Call before the first ZeroMQ context, in a program's main
// only: it changes the lookup for the whole process.
void look_up_protocols_in_files();

}  // namespace vantocli
