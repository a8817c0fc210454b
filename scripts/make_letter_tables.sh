#!/usr/bin/env bash
# Writes what Qt, and so the window's search box, knows of letters, for the code without Qt:
# queries/upper_case_table.h, how QString::toUpper upper-cases each code point (the search box
# applies it to what is typed), and core/letter_table.h, the code points QChar::isLetter takes
# (a callsign's letters). tests/ui/window_test.cpp checks every code point against Qt
# again. Run it after moving to another Qt version; it needs g++ and qt6-base-dev.
set -euo pipefail
cd "$(dirname "$0")/.."
out=queries/upper_case_table.h
letters_out=core/letter_table.h
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cat >"$work/dump.cpp" <<'CPP'
#include <QList>
#include <QString>
#include <cstdio>
#include <vector>

// Prints the runs of code points that QChar::isLetter takes, as C++ table entries.
void PrintLetters() {
    std::printf("inline constexpr LetterRun kLetterRuns[] = {\n");
    for (char32_t code = 0; code <= 0x10FFFF; ++code) {
        if (!QChar::isLetter(code)) {
            continue;
        }
        const char32_t first = code;
        while (code < 0x10FFFF && QChar::isLetter(code + 1)) {
            ++code;
        }
        std::printf("    {0x%X, 0x%X},\n", unsigned(first), unsigned(code));
    }
    std::printf("};\n");
}

// Prints the code points that QString::toUpper changes as C++ table entries: runs of
// single code points with one difference (every code point, or every second), then the ones
// that become several code points. With an argument, the letters instead.
int main(int argc, char**) {
    if (argc > 1) {
        PrintLetters();
        return 0;
    }
    struct Single { char32_t from; long delta; };
    std::vector<Single> singles;
    std::vector<std::pair<char32_t, QList<uint>>> expansions;
    for (char32_t code = 0; code <= 0x10FFFF; ++code) {
        if (code >= 0xD800 && code <= 0xDFFF) {
            continue;
        }
        // Not QString::fromUcs4, which takes U+FEFF for a byte-order mark and drops it.
        const QString text = QStringView(QChar::fromUcs4(code)).toString();
        const QList<uint> upper = text.toUpper().toUcs4();
        if (upper.size() == 1 && upper[0] == code) {
            continue;
        }
        if (upper.size() == 1) {
            singles.push_back({code, long(upper[0]) - long(code)});
        } else {
            expansions.emplace_back(code, upper);
        }
    }
    std::printf("inline constexpr UpperCaseRun kUpperCaseRuns[] = {\n");
    for (std::size_t i = 0; i < singles.size();) {
        std::size_t bestLength = 1;
        unsigned bestStride = 1;
        for (unsigned stride : {1u, 2u}) {
            std::size_t j = i;
            while (j + 1 < singles.size() && singles[j + 1].from == singles[j].from + stride &&
                   singles[j + 1].delta == singles[i].delta) {
                ++j;
            }
            if (j - i + 1 > bestLength) {
                bestLength = j - i + 1;
                bestStride = stride;
            }
        }
        std::printf("    {0x%X, 0x%X, %u, %ld},\n", unsigned(singles[i].from),
                    unsigned(singles[i + bestLength - 1].from), bestStride, singles[i].delta);
        i += bestLength;
    }
    std::printf("};\n\ninline constexpr UpperCaseExpansion kUpperCaseExpansions[] = {\n");
    for (const auto& [code, upper] : expansions) {
        std::printf("    {0x%X, {", unsigned(code));
        for (qsizetype k = 0; k < 3; ++k) {
            std::printf(k == 0 ? "0x%X" : ", 0x%X", k < upper.size() ? upper[k] : 0u);
        }
        std::printf("}},\n");
    }
    std::printf("};\n");
}
CPP

g++ -std=c++20 -fPIC "$work/dump.cpp" $(pkg-config --cflags --libs Qt6Core) -o "$work/dump"
qt_version=$(pkg-config --modversion Qt6Core)
{
    cat <<HEADER
#pragma once

// How the window's search box upper-cases what is typed: QString::toUpper of Qt $qt_version, code
// point by code point (full case mapping, the same in every locale). Made by
// scripts/make_letter_tables.sh; do not edit.

#include <cstdint>

namespace kalvera::upper_case {

// The code points first to last, every \`stride\`-th, each become itself plus \`delta\`.
struct UpperCaseRun {
    char32_t first;
    char32_t last;
    std::uint8_t stride;
    std::int32_t delta;
};

// A code point that becomes two or three ("ß" becomes "SS"); unused places hold 0.
struct UpperCaseExpansion {
    char32_t from;
    char32_t to[3];
};

HEADER
    "$work/dump"
    echo
    echo "}  // namespace kalvera::upper_case"
} >"$out"
{
    cat <<HEADER
#pragma once

// The letters of QChar::isLetter in Qt $qt_version (Unicode's general categories L*), the letters a
// callsign may hold. Made by scripts/make_letter_tables.sh; do not edit.

namespace kalvera::letters {

// The code points first to last, both included.
struct LetterRun {
    char32_t first;
    char32_t last;
};

HEADER
    "$work/dump" letters
    echo
    echo "}  // namespace kalvera::letters"
} >"$letters_out"
if command -v clang-format >/dev/null; then
    clang-format -i "$out" "$letters_out"
fi
echo "Written: $out $letters_out"
