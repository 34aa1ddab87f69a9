// The save and load menus with their slot list, and the two procedures that
// write and read one slot file (save00.sav ... save19.sav).
#pragma once

namespace kiro {

struct Runtime;

enum class LoadMenuResult { ShowAgain, BackedOut, Loaded };
enum class SaveMenuResult { ShowAgain, Done };

LoadMenuResult loadMenu(Runtime& rt);
SaveMenuResult saveMenu(Runtime& rt);

}  // namespace kiro
