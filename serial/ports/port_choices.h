// What the port selection dialog lists, whatever draws it: the ports COM1 to
// COM50 that open or that another program holds, with the device each one
// stands for, and what to say when there are none.
#pragma once

#include <string>
#include <vector>

struct TPortChoice {
  unsigned Number = 0;
  std::string Text;    // "COM3"
  std::string Device;  // the device behind it; a held one says by whom
  bool Held = false;   // another program has it open
};

struct TPortChoices {
  std::vector<TPortChoice> Ports;
  // Shown when the list is empty: why, and (for a refused device) the fix.
  std::string EmptyText;
  std::string EmptyAdvice;
};

// One trial open per port number, on a port map built afresh.
TPortChoices ListPortChoices();
