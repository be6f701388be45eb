#pragma once

#include <QString>
#include <optional>

// The program takes no command-line arguments, but answers two questions without opening a window:
// "--version" and "--help" each give a text to print before the program ends; the first of them
// named wins. Every other argument is ignored. The answer needs no application object, no display
// and no settings, and reads or writes none.
std::optional<QString> CommandLineAnswer(int argc, const char* const* argv);
