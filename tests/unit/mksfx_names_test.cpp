// The rule of names that are one file on Windows (tools/mksfx/collisions.h):
// folding, upper-casing beyond ASCII, and the clashes found in a set of
// names with the entries they name.
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "tools/mksfx/collisions.h"

namespace {

using mksfx::FindNameClashes;
using mksfx::FoldedName;
using mksfx::NoEntry;

// The clashes as (entry, other) pairs.
std::vector<std::pair<size_t, size_t>> Pairs(const std::vector<std::string>& names) {
  std::vector<std::pair<size_t, size_t>> pairs;
  for (const mksfx::NameClash& c : FindNameClashes(names)) pairs.emplace_back(c.entry, c.other);
  return pairs;
}

std::string FirstText(const std::vector<std::string>& names) {
  std::vector<mksfx::NameClash> clashes = FindNameClashes(names);
  return clashes.empty() ? "" : clashes[0].text;
}

TEST(MksfxFold, CaseAndTheDotsAndBlanksThatEndAPart) {
  EXPECT_EQ(FoldedName("Notes.txt"), "NOTES.TXT");
  EXPECT_EQ(FoldedName("b.txt."), "B.TXT");
  EXPECT_EQ(FoldedName("b.txt . ."), "B.TXT");
  EXPECT_EQ(FoldedName("sp /f.txt"), "SP/F.TXT");
  EXPECT_EQ(FoldedName("a\\b/"), "A/B");
  EXPECT_EQ(FoldedName("a//b"), "A/B");
  EXPECT_EQ(FoldedName(" lead"), " LEAD");  // leading blanks stay
  EXPECT_EQ(FoldedName("..a"), "..A");
  EXPECT_EQ(FoldedName("caf\xe9"), "CAF\xe9");  // not UTF-8: the byte as it is
}

TEST(MksfxFold, UpperCaseBeyondAscii) {
  EXPECT_EQ(mksfx::UpperCase('a'), static_cast<uint32_t>('A'));
  EXPECT_EQ(mksfx::UpperCase(0x00E9), 0x00C9u);  // é
  EXPECT_EQ(mksfx::UpperCase(0x00F7), 0x00F7u);  // ÷ has no case
  EXPECT_EQ(mksfx::UpperCase(0x00FF), 0x0178u);  // ÿ
  EXPECT_EQ(mksfx::UpperCase(0x00DF), 0x00DFu);  // ß has no one-letter capital
  EXPECT_EQ(mksfx::UpperCase(0x0101), 0x0100u);  // ā
  EXPECT_EQ(mksfx::UpperCase(0x017E), 0x017Du);  // ž
  EXPECT_EQ(mksfx::UpperCase(0x0219), 0x0218u);  // ș
  EXPECT_EQ(mksfx::UpperCase(0x0131), 0x0131u);  // dotless i stays: nothing becomes ASCII
  EXPECT_EQ(mksfx::UpperCase(0x017F), 0x017Fu);  // long s stays
  EXPECT_EQ(mksfx::UpperCase(0x03C2), 0x03A3u);  // final ς
  EXPECT_EQ(mksfx::UpperCase(0x03C3), 0x03A3u);  // σ
  EXPECT_EQ(mksfx::UpperCase(0x03CE), 0x038Fu);  // ώ
  EXPECT_EQ(mksfx::UpperCase(0x0444), 0x0424u);  // ф
  EXPECT_EQ(mksfx::UpperCase(0x0451), 0x0401u);  // ё
  EXPECT_EQ(mksfx::UpperCase(0x04C2), 0x04C1u);  // ӂ
  EXPECT_EQ(mksfx::UpperCase(0x1EA1), 0x1EA0u);  // ạ
  EXPECT_EQ(mksfx::UpperCase(0x1E9E), 0x1E9Eu);  // capital ẞ stays
  EXPECT_EQ(mksfx::UpperCase(0xFF41), 0xFF21u);  // ａ
  EXPECT_EQ(mksfx::UpperCase(0x00B5), 0x00B5u);  // the micro sign stays
  EXPECT_EQ(mksfx::UpperCase(0x01C6), 0x01C4u);  // ǆ
  EXPECT_EQ(mksfx::UpperCase(0x01C5), 0x01C5u);  // ǅ, title case, stays
  EXPECT_EQ(mksfx::UpperCase(0x1F00), 0x1F08u);  // ἀ
  EXPECT_EQ(mksfx::UpperCase(0x2D00), 0x10A0u);  // Georgian ⴀ
  EXPECT_EQ(mksfx::UpperCase(0x0514), 0x0514u);  // past the table's letters
  EXPECT_EQ(mksfx::UpperCase(0x1F600), 0x1F600u);  // past the plane
  EXPECT_EQ(FoldedName("Gr\xc3\xbc\xc3\x9f" "e"), "GR\xc3\x9c\xc3\x9f" "E");  // Grüße
  EXPECT_EQ(FoldedName("\xd1\x84\xd0\xb0\xd0\xb9\xd0\xbb"), "\xd0\xa4\xd0\x90\xd0\x99\xd0\x9b");  // файл
}

TEST(MksfxFold, UpperCaseIsSettledAndKeepsAsciiApart) {
  for (uint32_t cp = 0; cp < 0x10000; ++cp) {
    uint32_t upper = mksfx::UpperCase(cp);
    ASSERT_EQ(mksfx::UpperCase(upper), upper) << std::hex << cp;  // an upper-case letter stays
    if (cp < 0x80) ASSERT_EQ(upper, cp >= 'a' && cp <= 'z' ? cp - 32 : cp) << cp;
    else ASSERT_GE(upper, 0x80u) << std::hex << cp;
  }
}

TEST(MksfxClashes, NamesThatFoldToOne) {
  EXPECT_EQ(Pairs({"Notes.txt", "notes.txt"}), (std::vector<std::pair<size_t, size_t>>{{1, 0}}));
  EXPECT_EQ(Pairs({"b.txt", "x", "b.txt."}), (std::vector<std::pair<size_t, size_t>>{{2, 0}}));
  EXPECT_EQ(Pairs({"d/b.txt ", "D/B.TXT"}), (std::vector<std::pair<size_t, size_t>>{{0, NoEntry}, {1, 0}}));
  EXPECT_EQ(Pairs({"caf\xc3\xa9", "CAF\xc3\x89"}), (std::vector<std::pair<size_t, size_t>>{{1, 0}}));
  EXPECT_EQ(Pairs({"a\\b", "A/B"}), (std::vector<std::pair<size_t, size_t>>{{1, 0}}));
  EXPECT_EQ(FirstText({"Notes.txt", "notes.txt"}),
            "'Notes.txt' and 'notes.txt' are one name on Windows, which ignores case and the dots and blanks that end a part");
}

TEST(MksfxClashes, TheSameNameTwice) {
  EXPECT_EQ(Pairs({"a.txt", "b", "a.txt"}), (std::vector<std::pair<size_t, size_t>>{{2, 0}}));
  EXPECT_EQ(Pairs({"d/", "d/"}), (std::vector<std::pair<size_t, size_t>>{{1, 0}}));
  EXPECT_EQ(FirstText({"a.txt", "a.txt"}), "'a.txt' is given twice");
}

TEST(MksfxClashes, AFileAndAFolderOfOneName) {
  // The folder an entry of its own, after and before the file.
  EXPECT_EQ(Pairs({"X", "x/"}), (std::vector<std::pair<size_t, size_t>>{{1, 0}}));
  EXPECT_EQ(FirstText({"X", "x/"}), "'X' is a file and 'x/' a folder of one name on Windows");
  EXPECT_EQ(Pairs({"Docs/", "docs"}), (std::vector<std::pair<size_t, size_t>>{{1, 0}}));
  EXPECT_EQ(FirstText({"Docs/", "docs"}), "'Docs/' is a folder and 'docs' a file of one name on Windows");
  // The folder one that a path needs.
  EXPECT_EQ(Pairs({"docs", "Docs/x.txt"}), (std::vector<std::pair<size_t, size_t>>{{1, 0}}));
  EXPECT_EQ(FirstText({"docs", "Docs/x.txt"}), "'docs' is a file and 'Docs/' a folder of one name on Windows (for 'Docs/x.txt')");
  EXPECT_EQ(Pairs({"a/x/f", "a/X"}), (std::vector<std::pair<size_t, size_t>>{{1, 0}}));
  EXPECT_EQ(FirstText({"a/x/f", "a/X"}), "'a/x/' (for 'a/x/f') is a folder and 'a/X' a file of one name on Windows");
  // Deep below: the file clashes with a folder two levels up.
  EXPECT_EQ(Pairs({"a/b", "A/B/c/d"}), (std::vector<std::pair<size_t, size_t>>{{1, 0}}));
}

TEST(MksfxClashes, PartsThatWindowsWouldChange) {
  EXPECT_EQ(Pairs({"sp /f.txt"}), (std::vector<std::pair<size_t, size_t>>{{0, NoEntry}}));
  EXPECT_EQ(FirstText({"sp /f.txt"}), "'sp /f.txt' has a part that ends in a blank ('sp '), which Windows drops");
  EXPECT_EQ(FirstText({"b.txt."}), "'b.txt.' has a part that ends in a dot ('b.txt.'), which Windows drops");
  EXPECT_EQ(FirstText({"  "}), "'  ' has a part of only dots and blanks ('  '), which Windows cannot keep");
  EXPECT_EQ(FirstText({"a/./b"}), "'a/./b' has a part of only dots and blanks ('.'), which Windows cannot keep");
  EXPECT_EQ(FirstText({"dir. /"}), "'dir. /' has a part that ends in a blank ('dir. '), which Windows drops");
  // The clash with an earlier entry is told first, and an entry at fault
  // still counts for the entries after it.
  EXPECT_EQ(Pairs({"b.txt", "b.txt."}), (std::vector<std::pair<size_t, size_t>>{{1, 0}}));
  EXPECT_EQ(Pairs({"b.txt.", "b.txt"}), (std::vector<std::pair<size_t, size_t>>{{0, NoEntry}, {1, 0}}));
}

TEST(MksfxClashes, OneClashPerEntryInOrder) {
  EXPECT_EQ(Pairs({"A", "B", "a", "b", "a."}), (std::vector<std::pair<size_t, size_t>>{{2, 0}, {3, 1}, {4, 0}}));
}

TEST(MksfxClashes, NamesWindowsKeepsApart) {
  EXPECT_TRUE(FindNameClashes({"a.txt", "a.txt.bak", "ab", "a b", "..a", "a..b/c", " lead", "lead", "x/", "xy", "x/y/",
                               "d/a", "e/a", "\xc3\x9f", "ss", "\xc4\xb1", "i", "\xc3\xa9", "e\xcc\x81",
                               "\xe4\xb8\xad", "\xe4\xb8\xad\xe6\x96\x87"})
                  .empty());
  // Folders of one folded name merge on Windows and lose nothing: their
  // files go into one folder side by side.
  EXPECT_TRUE(FindNameClashes({"Docs/", "Docs/a.txt", "docs/", "docs/b.txt", "DOCS/sub/c"}).empty());
  EXPECT_TRUE(FindNameClashes({}).empty());
}

}  // namespace
