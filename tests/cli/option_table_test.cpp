#include "cli/option_table.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "cli/help_text.h"
#include "cli/preset_lookup.h"

namespace qv::cli {
namespace {

// The first cell of every row of the README's option table (the table after
// the heading "## Command-line tool"), escaped bars and all.
std::vector<std::string> readmeOptionCells()
{
    std::ifstream file(std::string(QV_SOURCE_DIR) + "/README.md");
    std::vector<std::string> cells;
    bool inSection = false;
    for (std::string line; std::getline(file, line);) {
        if (line.starts_with("## "))
            inSection = line == "## Command-line tool";
        if (!inSection || !line.starts_with("| `"))
            continue;
        std::size_t end = 1;
        while (end < line.size() && (line[end] != '|' || line[end - 1] == '\\'))
            ++end;
        cells.push_back(line.substr(1, end - 1));
    }
    return cells;
}

// "-o" and "--output" from "`-o`, `--output FILE`".
std::vector<std::string> optionsIn(const std::string& cell)
{
    static const std::regex option("`(-[a-zA-Z]|--[a-z][a-z-]*)");
    std::vector<std::string> names;
    for (std::sregex_iterator it(cell.begin(), cell.end(), option), end; it != end; ++it)
        names.push_back((*it)[1]);
    return names;
}

TEST(OptionTable, TheReadmeListsExactlyTheOptionsOfTheTable)
{
    const std::vector<std::string> cells = readmeOptionCells();
    ASSERT_FALSE(cells.empty()) << "no option table in " << QV_SOURCE_DIR << "/README.md";

    std::map<std::string, int> inReadme;  // each spelling and the row it stands in
    for (int row = 0; row < static_cast<int>(cells.size()); ++row)
        for (const std::string& name : optionsIn(cells[row]))
            EXPECT_TRUE(inReadme.emplace(name, row).second) << name << " is listed twice";

    std::map<std::string, int> inTable;
    for (const OptionInfo& info : optionTable()) {
        const std::string longName = "--" + std::string(info.longName);
        inTable[longName] = 0;
        if (info.shortName != 0) {
            const std::string shortName{'-', info.shortName};
            inTable[shortName] = 0;
            // The short form is shown beside its long form.
            EXPECT_TRUE(inReadme.contains(shortName) && inReadme.contains(longName) &&
                        inReadme.at(shortName) == inReadme.at(longName))
                << shortName << " and " << longName << " are not in one row";
        }
    }
    for (const auto& [name, row] : inReadme)
        EXPECT_TRUE(inTable.contains(name)) << name << " is in the README but the tool has no such option";
    for (const auto& [name, row] : inTable)
        EXPECT_TRUE(inReadme.contains(name)) << name << " is missing from the README";
}

// The help is laid out from the table: descriptions in a column counted in
// characters (not bytes), two spaces after a label that reaches the column,
// further lines indented, the negative forms on the line of their positive
// one, a group's note after its options.
TEST(HelpText, LaysOutTheTableInColumns)
{
    const std::string help = helpText();
    const std::string indent(26, ' ');
    for (const std::string& piece : {
             std::string("\nWynik:\n  -o, --output PLIK       plik wynikowy\n"),
             std::string("\n      --set Pole=Wartość  pojedyncza wartość"),
             std::string("\n  -s, --settings PLIK.qvl plik ustawień\n"),
             "\n  -p, --preset NAZWA|1..10  ustawienia predefiniowane:\n" + indent + presetListText() + "\n",
             "\n  -t, --type TYP          jpeg, tiff8 albo tiff16; domyślnie z rozszerzenia:\n" + indent + ".jpg/",
             std::string("\n      --raw-nr, --no-raw-nr         wstępna redukcja szumu plików RAW\n"),
             "(RAW)\n" + indent + "(bez tych opcji: jak w konfiguracji programu)\n\nPrzebieg:\n",
             std::string("\n      --version           wersja programu\n\nKod wyjścia: 0 gotowe"),
         })
        EXPECT_NE(help.find(piece), std::string::npos) << "missing:\n" << piece << "\nin:\n" << help;
}

}  // namespace
}  // namespace qv::cli
