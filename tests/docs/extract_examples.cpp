// Turns the runnable examples of the manual (docs/*.md) into end-to-end
// cases (tests/e2e/README.md), so that the e2e runner checks every example
// against the engine. Games' own cases (games/*/tests/*.case) are copied
// beside them. Usage: extract_examples DOCS_DIR GAMES_DIR OUT_DIR
//
// In the manual, a fence line names what a block is:
//   ```kiro            script lines; without an @ line they are wrapped into
//                      @EVENTFIRST ... QUIT
//   ```csv NAME        a data file csv/NAME for the next example
//   ```input           what the player types after the title
//   ```output [exit=N] the exact output after the title line; ends the example
//   ```case            a whole case, taken as it stands
// A kiro block without an output block after it is only shown, not run.
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Block {
    std::string info;  // the words after ```
    std::string body;
    int line = 0;      // line of the opening fence
};

std::vector<Block> blocksOf(const fs::path& file) {
    std::ifstream in(file);
    std::vector<Block> blocks;
    Block* open = nullptr;
    int number = 0;
    for (std::string line; std::getline(in, line);) {
        ++number;
        if (line.rfind("```", 0) == 0) {
            if (open) { open = nullptr; continue; }
            blocks.push_back({line.substr(3), "", number});
            open = &blocks.back();
        } else if (open) {
            open->body += line + "\n";
        }
    }
    return blocks;
}

std::string firstWord(const std::string& s) { return s.substr(0, s.find(' ')); }
std::string rest(const std::string& s) {
    std::size_t at = s.find(' ');
    return at == std::string::npos ? "" : s.substr(at + 1);
}

bool definesFunctions(const std::string& script) {
    std::istringstream in(script);
    for (std::string line; std::getline(in, line);)
        if (line.rfind('@', 0) == 0) return true;
    return false;
}

// One example: the files, the script, the input and the expected output.
struct Example {
    std::vector<std::pair<std::string, std::string>> csv;
    std::string script;
    std::string input;
    int line = 0;
};

std::string caseText(const Example& e, const Block& output) {
    std::ostringstream c;
    c << "-- file csv/gamebase.csv\nコード,1\n最初からいるキャラ,1\n";
    for (const auto& [name, body] : e.csv) c << "-- file csv/" << name << "\n" << body;
    c << "-- file kst/main.kst\n";
    if (definesFunctions(e.script)) c << e.script;
    else c << "@EVENTFIRST\n" << e.script << "QUIT\n";
    c << "-- stdin\n0\n" << e.input << "-- stdout after-title\n" << output.body;
    std::string exit = rest(output.info);
    c << "-- exit " << (exit.rfind("exit=", 0) == 0 ? exit.substr(5) : "0") << "\n";
    return c.str();
}

void write(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

int extract(const fs::path& doc, const fs::path& out) {
    int count = 0;
    Example e;
    auto name = [&](int line) { return out / doc.stem() / ("line_" + std::to_string(line) + ".case"); };
    for (const Block& b : blocksOf(doc)) {
        std::string kind = firstWord(b.info);
        if (kind == "case") {
            write(name(b.line), b.body);
            ++count;
        } else if (kind == "csv" && !rest(b.info).empty()) {
            e.csv.emplace_back(rest(b.info), b.body);
        } else if (kind == "kiro") {
            e.script = b.body;
            e.input.clear();
            e.line = b.line;
        } else if (kind == "input") {
            e.input = b.body;
        } else if (kind == "output" && e.line) {
            write(name(e.line), caseText(e, b));
            ++count;
            e = Example{};
        }
    }
    return count;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::cerr << "usage: extract_examples DOCS_DIR GAMES_DIR OUT_DIR\n";
        return 2;
    }
    const fs::path docs = argv[1], games = argv[2], out = argv[3];
    fs::remove_all(out);
    fs::create_directories(out);
    int count = 0;
    for (const auto& entry : fs::directory_iterator(docs))
        if (entry.path().extension() == ".md") count += extract(entry.path(), out);
    for (const auto& game : fs::directory_iterator(games)) {
        if (!fs::is_directory(game.path() / "tests")) continue;
        for (const auto& entry : fs::directory_iterator(game.path() / "tests"))
            if (entry.path().extension() == ".case") {
                fs::create_directories(out / game.path().filename());
                fs::copy_file(entry.path(), out / game.path().filename() / entry.path().filename());
                ++count;
            }
    }
    std::cout << count << " example cases in " << out << "\n";
    return 0;
}
