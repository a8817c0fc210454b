#include "tool_arguments.h"

#include <algorithm>
#include <utility>

#include "core/callbook_format.h"

namespace kalvera {
namespace {

struct OptionSeen {
    std::string_view name;
    unsigned bit;
};

class Parser {
  public:
    Parser(std::span<const std::string> arguments, std::span<const Subcommand> subcommands)
        : arguments_(arguments), subcommands_(subcommands) {}

    ParsedArguments Run() {
        bool optionsEnded = false;
        for (next_ = 0; next_ < arguments_.size();) {
            const std::string_view argument = arguments_[next_++];
            if (!optionsEnded && argument == "--") {
                optionsEnded = true;
            } else if (!optionsEnded && argument.size() > 1 && argument.front() == '-') {
                Option(argument);
            } else {
                Operand(argument);
            }
        }
        CheckAgainstSubcommand();
        return std::move(parsed_);
    }

  private:
    void Fail(std::string problem) {
        if (parsed_.error.empty()) {
            parsed_.error = std::move(problem);
        }
    }

    void Option(std::string_view argument) {
        std::string_view name = argument;
        std::optional<std::string_view> value;
        if (argument.starts_with("--")) {
            if (const std::size_t equals = argument.find('='); equals != std::string_view::npos) {
                name = argument.substr(0, equals);
                value = argument.substr(equals + 1);
            }
        }
        if (name == "-h" || name == "--help") {
            parsed_.help = true;
        } else if (name == "--version") {
            parsed_.version = true;
        } else if (name == "--today") {
            if (!value && next_ < arguments_.size()) {
                value = arguments_[next_++];
            }
            Today(value);
            seen_.push_back({"--today", kTodayOption});
            return;
        } else if (name == "--exact") {
            parsed_.exact = true;
            seen_.push_back({"--exact", kExactOption});
        } else if (name == "--summary") {
            parsed_.summary = true;
            seen_.push_back({"--summary", kSummaryOption});
        } else {
            Fail("unknown option: " + std::string(name));
            return;
        }
        if (value) {
            Fail(std::string(name) + ": takes no value");
        }
    }

    void Today(std::optional<std::string_view> value) {
        if (!value) {
            Fail("--today: missing date");
        } else if (parsed_.today) {
            Fail("--today: given more than once");
        } else if (const auto date = ParseCallbookDate(*value);
                   date && value->size() == kDateLength) {
            // Only the callbook's full form, YYYY-MM-DD: its reader also takes 2026-3-7.
            parsed_.today = date;
        } else {
            Fail("--today: not a date written YYYY-MM-DD: " + std::string(*value));
        }
    }

    void Operand(std::string_view argument) {
        if (parsed_.subcommand != nullptr) {
            parsed_.operands.emplace_back(argument);
            return;
        }
        const auto found = std::ranges::find(subcommands_, argument, &Subcommand::name);
        if (found == subcommands_.end()) {
            Fail("unknown subcommand: " + std::string(argument));
            unknownSubcommand_ = true;
        } else {
            parsed_.subcommand = &*found;
        }
    }

    void CheckAgainstSubcommand() {
        const Subcommand* subcommand = parsed_.subcommand;
        if (subcommand == nullptr) {
            if (!unknownSubcommand_) {
                Fail("missing subcommand");
            }
            return;
        }
        const std::string prefix = std::string(subcommand->name) + ": ";
        for (const OptionSeen& option : seen_) {
            if ((subcommand->options & option.bit) == 0) {
                Fail(prefix + "no such option: " + std::string(option.name));
            }
        }
        const auto& names = subcommand->operands;
        const std::size_t wanted =
            static_cast<std::size_t>(std::ranges::find(names, std::string_view{}) - names.begin());
        const std::size_t given = parsed_.operands.size();
        if (given < wanted) {
            Fail(prefix + "missing " + std::string(names[given]));
        } else if (given > wanted) {
            Fail(prefix + "unexpected argument: " + parsed_.operands[wanted]);
        }
    }

    std::span<const std::string> arguments_;
    std::span<const Subcommand> subcommands_;
    std::size_t next_ = 0;
    ParsedArguments parsed_;
    std::vector<OptionSeen> seen_;
    bool unknownSubcommand_ = false;
};

}  // namespace

ParsedArguments ParseArguments(std::span<const std::string> arguments,
                               std::span<const Subcommand> subcommands) {
    return Parser(arguments, subcommands).Run();
}

}  // namespace kalvera
