#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/civil_date.h"

namespace kalvera {

class CheckedOutput;

// Options a subcommand may accept, as bits of `Subcommand::options`.
inline constexpr unsigned kTodayOption = 1U << 0;    // --today YYYY-MM-DD
inline constexpr unsigned kExactOption = 1U << 1;    // --exact
inline constexpr unsigned kSummaryOption = 1U << 2;  // --summary

struct ParsedArguments;

struct Subcommand {
    std::string_view name;
    // The names of its operands as the usage text shows them ("FILE", "KEY"); an empty name
    // ends the list. The first is always the callbook FILE.
    std::array<std::string_view, 2> operands;
    unsigned options = 0;
    // Runs it on well-formed arguments; returns the exit status.
    int (*run)(const ParsedArguments& arguments, CheckedOutput& out) = nullptr;
};

struct ParsedArguments {
    bool help = false;     // -h or --help anywhere: wins over everything else
    bool version = false;  // --version anywhere
    // The first thing found wrong, as one line ("lookup: missing KEY"); empty when nothing is.
    std::string error;
    const Subcommand* subcommand = nullptr;
    std::vector<std::string> operands;
    std::optional<CivilDate> today;
    bool exact = false;
    bool summary = false;
};

// Reads the arguments that follow the program name, GNU style: options may stand anywhere,
// before or after the operands; "--name=value" and "--name value" are the same; "--" makes
// everything after it an operand. The first operand names the subcommand. Nothing is
// printed.
ParsedArguments ParseArguments(std::span<const std::string> arguments,
                               std::span<const Subcommand> subcommands);

}  // namespace kalvera
