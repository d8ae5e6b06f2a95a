#pragma once

#include <QString>
#include <optional>

namespace TerminalPrompt {

// Shows prompt on standard error and reads one line from standard input, a
// terminal, with its echo off (restored afterwards, also on Ctrl-C). Nothing
// when standard input is no terminal or ends before a line.
std::optional<QString> readSecret(const QString& prompt);

// The same with the echo on, for a choice.
std::optional<QString> readLine(const QString& prompt);

} // namespace TerminalPrompt
