// The clock decides when a pass looks at the message queue and shows names
// (archive/pacing.h): at the start of a pass at once, then at most every
// 20 ms and every 100 ms, with the name of a long file shown within its data
// and a cancel still seen within a chunk of the look that found it.
#include <string>
#include <vector>
#include "SFXinflt/constants.h"
#include "Sfx/state.h"
#include "archive/pacing.h"
#include "archive/zip_format.h"
#include "tests/support/posix_control.h"
#include "tests/support/scripted_ui.h"
#include "tests/unit/driver_fixture.h"

namespace {

class PacingTest : public DriverTest {
 protected:
  ZipBuilder ManySmall(int n) {
    ZipBuilder zip;
    for (int i = 0; i < n; ++i) zip.Stored("f" + std::to_string(i) + ".txt", "x");
    return zip;
  }
};

TEST_F(PacingTest, AFastPassLooksAtTheQueueOnceAndNamesItsFirstEntry) {
  Open(ManySmall(50));
  posix::TickStep = 0;  // the clock stands still: nothing is ever due again
  Extract();
  ExpectSuccess();
  EXPECT_EQ(scripted::Pumps, 1) << "the start of the pass looks at once, and only then";
  EXPECT_EQ(scripted::EntryNames, std::vector<std::string>{"f0.txt"});
}

TEST_F(PacingTest, LooksAndNamesFollowTheClock) {
  Open(ManySmall(50));
  posix::TickStep = 2;  // every reading of the clock moves it 2 ms
  Extract();
  ExpectSuccess();
  // Each entry reads the clock a few times: far fewer looks than entries,
  // but more than the first.
  EXPECT_GT(scripted::Pumps, 1);
  EXPECT_LT(scripted::Pumps, 50);
  EXPECT_GT(scripted::EntryNames.size(), 1u);
  EXPECT_LT(scripted::EntryNames.size(), static_cast<size_t>(scripted::Pumps)) << "names wait five times longer";
}

TEST_F(PacingTest, ALongFileIsNamedWithinItsData) {
  Open(ZipBuilder().Stored("a.txt", "a").Stored("big.bin", std::string(40 * 32768, 'b')));
  posix::TickStep = 3;
  bool namedDuringData = false;
  scripted::OnPump = [&] {
    if (!scripted::EntryNames.empty() && scripted::EntryNames.back() == "big.bin" && EntryDone > 0 &&
        EntryDone < EntryTotal)
      namedDuringData = true;
  };
  Extract();
  ExpectSuccess();
  ASSERT_FALSE(scripted::EntryNames.empty());
  EXPECT_EQ(scripted::EntryNames.back(), "big.bin");
  EXPECT_TRUE(namedDuringData) << "the name passed over at its header shows once its interval has gone by";
}

TEST_F(PacingTest, ACancelSeenByALookEndsTheEntryAtThatChunk) {
  WriteFile("out/big.bin", "precious");
  Open(ZipBuilder().Stored("big.bin", std::string(40 * 32768, 'b')));
  OverwriteMode = ReplaceWithoutAsking;
  posix::TickStep = 1;
  int64_t doneAtCancel = -1;
  scripted::OnPump = [&] {
    if (EntryDone >= 5 * 32768 && doneAtCancel < 0) {
      CancelRequested = 1;
      doneAtCancel = EntryDone;
    }
  };
  Extract();
  ASSERT_GE(doneAtCancel, 0);
  EXPECT_LE(EntryDone, doneAtCancel + 32768) << "within one chunk of the look that saw it";
  EXPECT_EQ(ReadFile(Out("big.bin")), "precious");
  EXPECT_EQ(ExitCode, ExitCancelled);
}

TEST_F(PacingTest, ReadsThatFillOneWindowLookBetweenThem) {
  // Data that does not compress: the decoder's first window of output takes
  // many reads, each of which may be slow (a removable disk), and the
  // windows must stay alive through them, before any output goes out.
  std::string noise(3 * WindowSize / 2, '\0');
  uint32_t seed = 7;
  for (char& c : noise) c = static_cast<char>((seed = seed * 1103515245u + 12345u) >> 24);
  ZipEntry e;
  e.name = "noise.bin";
  e.data = Bytes(noise);
  e.method = MethodDeflate;
  Open(ZipBuilder().Add(e));
  int looksBeforeOutput = 0;
  scripted::OnPump = [&] {
    if (!scripted::EntryNames.empty() && EntryDone == 0 && OutputHandle != NoFile) ++looksBeforeOutput;
  };
  Extract();
  ExpectSuccess();
  EXPECT_EQ(ReadFile(Out("noise.bin")), noise);
  EXPECT_GE(looksBeforeOutput, static_cast<int>(WindowSize) / static_cast<int>(EntryChunkSize) - 1)
      << "a look at each read of the first window's data";
}

}  // namespace

namespace {

TEST_F(PacingTest, AQuestionShowsTheNameOfTheEntryItAsksAbout) {
  WriteFile("out/second.txt", "in the way");
  Open(ZipBuilder().Stored("first.txt", "1").Stored("second.txt", "2"));
  posix::TickStep = 0;  // the second name is not due by the clock
  scripted::OverwriteReplies = {{true, false}};
  Extract();
  ExpectSuccess();
  ASSERT_EQ(scripted::Asked, std::vector<std::string>{"overwrite:second.txt"});
  EXPECT_EQ(scripted::EntryNames, (std::vector<std::string>{"first.txt", "second.txt"}));
}

}  // namespace
