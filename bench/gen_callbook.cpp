// kalvera-gen-callbook: writes a synthetic callbook of a chosen size for the benchmarks.
//
//   kalvera-gen-callbook LINES OUTPUT
//
// LINES counts member lines; the file also holds two version lines, one at the top and one
// at the end. The output is the same for the same LINES on every machine: the generator
// uses its own pseudo-random sequence, not the standard library's distributions, whose
// results differ between implementations.
//
// On stdout it prints what the benchmark needs to ask for, one "name=value" per line:
//   last=     callsign of the last member line (found only at the very end of the scan)
//   absent=   a callsign that is on no line, not even as part of a longer text
//   typeable= callsign of the last member but one, whose suffix fits the window's search box
//   region=   a region of middling size (about 0.4% of the members), for the listing
//   members=  member lines written
//   regions=  distinct regions written

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <numeric>
#include <string>
#include <string_view>
#include <vector>

namespace {

class Random {
  public:
    explicit Random(std::uint64_t seed) : state_(seed) {}

    // splitmix64: small, fast and the same everywhere.
    std::uint64_t Next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    // 0 <= value < bound; the bias is far below anything a benchmark could notice.
    std::uint32_t Below(std::uint32_t bound) {
        return static_cast<std::uint32_t>((Next() >> 32) * bound >> 32);
    }
    bool Chance(std::uint32_t percent) { return Below(100) < percent; }

    template <typename T, std::size_t N>
    const T& Pick(const std::array<T, N>& items) {
        return items[Below(static_cast<std::uint32_t>(N))];
    }

  private:
    std::uint64_t state_;
};

constexpr std::array<std::string_view, 40> kFirstNames = {
    "Budi",   "Siti",  "Agus", "Dewi",  "Joko",   "Sri",      "Bambang", "Rina",
    "Hendra", "Yuni",  "Eko",  "Wahyu", "Rudi",   "Lestari",  "Slamet",  "Nur",
    "Putri",  "Adi",   "Dian", "Fajar", "Ahmad",  "Muhammad", "Rizky",   "Indah",
    "Teguh",  "Bayu",  "Heru", "Ratna", "Wulan",  "Iwan",     "Yusuf",   "Asep",
    "Ujang",  "Cecep", "Made", "Ketut", "Nyoman", "Wayan",    "Lukman",  "Hasanah",
};

constexpr std::array<std::string_view, 32> kFamilyNames = {
    "Santoso",   "Wijaya",     "Saputra",     "Hidayat", "Kurniawan", "Setiawan", "Pratama",
    "Susanto",   "Nugroho",    "Rahmawati",   "Gunawan", "Siregar",   "Nasution", "Harahap",
    "Sihombing", "Purba",      "Simanjuntak", "Hutapea", "Lubis",     "Wibowo",   "Utomo",
    "Prasetyo",  "Firmansyah", "Ramadhan",    "Suryadi", "Hakim",     "Maulana",  "Syahputra",
    "Anggraini", "Permana",    "Sudrajat",    "Kusuma",
};

constexpr std::array<std::string_view, 36> kStreets = {
    "Melati",         "Mawar",         "Kenanga",          "Anggrek",        "Diponegoro",
    "Sudirman",       "Gatot Subroto", "Ahmad Yani",       "Pahlawan",       "Merdeka",
    "Kartini",        "Imam Bonjol",   "Pemuda",           "Veteran",        "Cempaka",
    "Flamboyan",      "Nangka",        "Mangga",           "Rambutan",       "Durian",
    "Kelapa Gading",  "Kaliurang",     "Raya Bogor",       "Pattimura",      "Teuku Umar",
    "Hasanuddin",     "Gajah Mada",    "Hayam Wuruk",      "Siliwangi",      "Cut Nyak Dien",
    "Dr. Soetomo",    "KH. Dewantara", "Sisingamangaraja", "Panglima Polim", "Wolter Monginsidi",
    "Jend. Sudirman",
};

constexpr std::array<std::string_view, 24> kPlaceStart = {
    "Suka",  "Banjar", "Tanjung", "Sumber", "Karang", "Sido",  "Mekar", "Jati",
    "Pasir", "Ciko",   "Muara",   "Padang", "Batu",   "Rejo",  "Wono",  "Bojong",
    "Lubuk", "Tebing", "Bukit",   "Kedung", "Pangka", "Tegal", "Purwo", "Selo",
};

constexpr std::array<std::string_view, 22> kPlaceEnd = {
    "maju",  "sari",   "jaya", "rejo",    "mulya",  "asih",    "harjo", "agung",
    "wangi", "tinggi", "raya", "kencana", "makmur", "indah",   "kulon", "wetan",
    "lor",   "kidul",  "baru", "permai",  "sejati", "lestari",
};

// Every status kind, in several letter cases, plus texts that are no status word at all.
constexpr std::array<std::string_view, 16> kStatuses = {
    "seumur hidup",
    "Seumur Hidup",
    "SEUMUR HIDUP",
    "perpanjangan",
    "Perpanjangan",
    "PERPANJANGAN",
    "baru",
    "Baru",
    "BARU",
    "invalid",
    "Invalid",
    "INVALID",
    "",
    "null",
    "VALID",
    " baru",
};

// Callsign suffixes in order of length: A..9, then AA..99, and so on (bijective base 36),
// so that every suffix is distinct and the longest ones come last.
std::string Suffix(std::uint64_t index) {
    constexpr std::string_view kDigits = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::string text;
    std::uint64_t n = index + 1;
    while (n > 0) {
        --n;
        text.insert(text.begin(), kDigits[n % 36]);
        n /= 36;
    }
    return text;
}

struct Region {
    std::string name;
    std::uint32_t code;
};

// About 500 distinct regencies and cities. "Kab. X" and "Kota X" may both exist, as they
// do in the real country.
std::vector<Region> MakeRegions(Random& random, std::size_t count) {
    std::vector<Region> regions;
    std::vector<std::string> taken;
    while (regions.size() < count) {
        std::string place(random.Pick(kPlaceStart));
        place.append(random.Pick(kPlaceEnd));
        std::string name = (random.Chance(70) ? "Kab. " : "Kota ") + place;
        bool duplicate = false;
        for (const std::string& other : taken) {
            duplicate = duplicate || other == name;
        }
        if (!duplicate) {
            taken.push_back(name);
            regions.push_back({name, static_cast<std::uint32_t>(regions.size() + 1)});
        }
    }
    return regions;
}

class Writer {
  public:
    explicit Writer(std::FILE* out) : out_(out) { buffer_.reserve(kFlushAt + 4096); }
    ~Writer() { Flush(); }

    Writer& operator<<(std::string_view text) {
        buffer_.append(text);
        return *this;
    }
    Writer& operator<<(char c) {
        buffer_.push_back(c);
        return *this;
    }
    Writer& Number(std::uint32_t value, int width) {
        char text[16];
        std::snprintf(text, sizeof text, "%0*u", width, value);
        buffer_.append(text);
        return *this;
    }
    void EndLine() {
        buffer_.append("\r\n");
        if (buffer_.size() >= kFlushAt) {
            Flush();
        }
    }
    bool Flush() {
        const bool ok = std::fwrite(buffer_.data(), 1, buffer_.size(), out_) == buffer_.size();
        ok_ = ok_ && ok;
        buffer_.clear();
        return ok_;
    }

  private:
    static constexpr std::size_t kFlushAt = 1 << 20;
    std::FILE* out_;
    std::string buffer_;
    bool ok_ = true;
};

void WriteName(Writer& out, Random& random) {
    out << random.Pick(kFirstNames);
    if (random.Chance(80)) {
        out << ' ' << random.Pick(kFamilyNames);
    }
    if (random.Chance(10)) {
        out << ' ' << random.Pick(kFamilyNames);
    }
}

void WriteAddress(Writer& out, Random& random) {
    switch (random.Below(5)) {
        case 0:
            out << "Jl. " << random.Pick(kStreets) << " No. ";
            out.Number(random.Below(200) + 1, 1);
            break;
        case 1:
            out << "Gg. " << random.Pick(kStreets) << ' ';
            out.Number(random.Below(60) + 1, 1);
            break;
        case 2:
            out << "Jl. " << random.Pick(kStreets) << " Gg. " << random.Pick(kStreets) << ' ';
            out.Number(random.Below(40) + 1, 1);
            out << " RT ";
            out.Number(random.Below(15) + 1, 2);
            out << "/RW ";
            out.Number(random.Below(10) + 1, 2);
            break;
        case 3:
            out << "Perum " << random.Pick(kPlaceStart) << random.Pick(kPlaceEnd) << " Blok "
                << static_cast<char>('A' + random.Below(8)) << '-';
            out.Number(random.Below(30) + 1, 1);
            break;
        default:
            out << "Dusun " << random.Pick(kPlaceStart) << random.Pick(kPlaceEnd) << " RT ";
            out.Number(random.Below(15) + 1, 2);
            out << " Desa " << random.Pick(kPlaceStart) << random.Pick(kPlaceEnd);
            break;
    }
}

// Mostly real dates, some years past and some ahead, plus the special values.
void WriteValidUntil(Writer& out, Random& random) {
    const std::uint32_t kind = random.Below(100);
    if (kind < 4) {
        out << (random.Chance(50) ? "null" : "NULL");
    } else if (kind < 7) {
        out << "0000-00-00";
    } else if (kind < 9) {
        out.Number(2020 + random.Below(10), 4) << '-';
        out.Number(random.Below(12) + 1, 1) << '-';
        out.Number(random.Below(28) + 1, 1);
    } else {
        out.Number(2018 + random.Below(14), 4) << '-';
        out.Number(random.Below(12) + 1, 2) << '-';
        out.Number(random.Below(28) + 1, 2);
    }
}

int Usage() {
    std::fputs("Usage: kalvera-gen-callbook LINES OUTPUT\n", stderr);
    return 64;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        return Usage();
    }
    char* end = nullptr;
    const unsigned long long requested = std::strtoull(argv[1], &end, 10);
    if (end == argv[1] || *end != '\0' || requested < 1 || requested > 100'000'000ULL) {
        return Usage();
    }
    const std::uint64_t members = requested;
    std::FILE* file = std::fopen(argv[2], "wb");
    if (file == nullptr) {
        std::perror(argv[2]);
        return 1;
    }

    Random random(0x4B616C7665726131ULL);
    const std::vector<Region> regions = MakeRegions(random, 500);

    // Region sizes follow a long tail: a few big cities, many small regencies. Cumulative
    // weights 1/(rank + 4) pick the region of each group of lines.
    std::vector<double> cumulative;
    double total = 0;
    for (std::size_t rank = 0; rank < regions.size(); ++rank) {
        total += 1.0 / static_cast<double>(rank + 4);
        cumulative.push_back(total);
    }
    const auto pickRegion = [&]() -> std::size_t {
        const double target = static_cast<double>(random.Next() >> 11) * 0x1.0p-53 * total;
        std::size_t low = 0;
        std::size_t high = cumulative.size() - 1;
        while (low < high) {
            const std::size_t mid = (low + high) / 2;
            if (cumulative[mid] < target) {
                low = mid + 1;
            } else {
                high = mid;
            }
        }
        return low;
    };

    // Members are numbered 0..members-1 and the suffix of member i is Suffix(i). The lines
    // come in a scrambled order of those numbers, with two members placed at the end: the
    // last line holds the last (longest) suffix, so its callsign is no part of any other
    // callsign; the line before it holds a member whose suffix the window's search box,
    // three characters wide, can take.
    const std::uint64_t scrambled = members - 1;
    std::uint64_t stride = 0x9E3779B1ULL % (scrambled == 0 ? 1 : scrambled);
    while (scrambled > 1 && (stride == 0 || std::gcd(stride, scrambled) != 1)) {
        ++stride;
    }
    const auto scrambledMember = [&](std::uint64_t line) {
        return (line * stride + 7) % (scrambled == 0 ? 1 : scrambled);
    };
    std::uint64_t typeable = members - 1;
    if (members >= 3) {
        constexpr std::uint64_t kLastThreeCharacterSuffix = 36 + 36 * 36 + 36 * 36 * 36 - 1;
        for (std::uint64_t m = std::min(members - 2, kLastThreeCharacterSuffix);; --m) {
            const std::string suffix = Suffix(m);
            if (suffix.find_first_of("0123456789") == std::string::npos) {
                typeable = m;
                break;
            }
        }
    }
    const auto memberAt = [&](std::uint64_t line) {
        if (line == members - 1) {
            return members - 1;
        }
        if (members >= 3 && line == members - 2) {
            return typeable;
        }
        const std::uint64_t member = scrambledMember(line);
        return members >= 3 && member == typeable ? scrambledMember(members - 2) : member;
    };

    Writer out(file);
    out << "versi: 2026-12-01 08:00";
    out.EndLine();

    std::vector<std::uint32_t> nextNumber(regions.size(), 1);
    std::size_t region = pickRegion();
    std::uint32_t groupLeft = 0;
    std::vector<bool> used(regions.size(), false);
    for (std::uint64_t line = 0; line < members; ++line) {
        // Members come loosely grouped by region: runs of a few to a few dozen lines, and
        // the same region returns many times, so a region list needs more than "same as the
        // line before".
        if (groupLeft == 0) {
            region = pickRegion();
            groupLeft = 1 + random.Below(random.Chance(20) ? 60 : 8);
        }
        --groupLeft;
        used[region] = true;
        const std::uint64_t member = memberAt(line);

        out << "QV27" << Suffix(member) << '#';
        WriteName(out, random);
        out << '#';
        WriteAddress(out, random);
        out << '#' << regions[region].name << '#';
        out.Number(regions[region].code, 3);
        out.Number(nextNumber[region]++ % 10000, 4);
        out << '#';
        WriteValidUntil(out, random);
        out << '#' << random.Pick(kStatuses);
        out.EndLine();
    }
    out << "versi: 2026-12-06 07:30";
    out.EndLine();
    const bool written = out.Flush();
    if (std::fclose(file) != 0 || !written) {
        std::perror(argv[2]);
        return 1;
    }

    // A listing key of typical size: the region ranked about a tenth of the way down.
    std::size_t distinct = 0;
    for (bool seen : used) {
        distinct += seen ? 1 : 0;
    }
    const std::size_t listed = regions.size() / 10;
    std::printf("last=QV27%s\n", Suffix(members - 1).c_str());
    std::printf("absent=QV27%s\n", (Suffix(members - 1) + "Q").c_str());
    std::printf("typeable=QV27%s\n", Suffix(typeable).c_str());
    std::printf("region=%s\n", regions[listed].name.c_str());
    std::printf("members=%llu\n", static_cast<unsigned long long>(members));
    std::printf("regions=%zu\n", distinct);
    return 0;
}
