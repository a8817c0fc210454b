#pragma once

// The one driver of every fuzz target: libFuzzer hands each input to the target's FuzzOne,
// which takes the bytes it needs from the front. A check that fails stops the run, and
// libFuzzer saves the input that caused it.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace kalvera::fuzz {

class Input {
  public:
    Input(const std::uint8_t* data, std::size_t size)
        : rest_(reinterpret_cast<const char*>(data), size) {}

    // The next byte; 0 once the input is used up.
    unsigned Byte() { return rest_.empty() ? 0 : static_cast<unsigned char>(Take(1)[0]); }
    // Up to `most` bytes.
    std::string_view Take(std::size_t most) {
        const std::string_view taken = rest_.substr(0, most);
        rest_.remove_prefix(taken.size());
        return taken;
    }
    std::string_view Rest() { return Take(rest_.size()); }

  private:
    std::string_view rest_;
};

// Stops the run, naming what failed, unless `holds`.
inline void Expect(bool holds, const char* what) {
    if (!holds) {
        std::fprintf(stderr, "check failed: %s\n", what);
        std::abort();
    }
}

// Each target's own: checks one input.
void FuzzOne(Input& input);

}  // namespace kalvera::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    kalvera::fuzz::Input input(data, size);
    kalvera::fuzz::FuzzOne(input);
    return 0;
}
