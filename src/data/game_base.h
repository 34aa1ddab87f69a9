// The game's identity from gamebase.csv.
#pragma once

#include <cstdint>
#include <string>

namespace kiro {

struct GameBase {
    std::int32_t gameCode = 0;
    std::int32_t version = 0;
    std::int32_t acceptedVersion = -1;  // lowest other save version still loaded; -1 none
    std::string title;
    std::string author;
    std::string year;
    std::string extraInfo;
    std::int32_t initialCharacter = -1;  // template slot added at a new game; -1 none
    std::int8_t noItem = 0;              // low 8 bits of the number read, signed
};

}  // namespace kiro
