// Whether the player counts as paused, as asked of mpv and as mpv reports it, in whatever order they meet.

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "platform/pause_state.h"

using reel::platform::PauseState;

// Steps: "p"/"g" asked to pause/go, "A" mpv answered a request, "P"/"G" mpv reported paused/going,
// "S" nothing can play; after each step the state reads paused (1) or not (0).
TEST(PauseState, ReportsCountOnlyOnceEveryRequestIsAnswered) {
    const struct {
        const char* what;
        const char* steps;
        const char* paused;
    } cases[] = {
        {"asked, answered, then reported", "g A G", "000"},
        {"mpv pauses by itself at a file's end", "g A P", "001"},
        // The last movie's end is told after the next movie was asked to play.
        {"a pause told after going was asked", "p A g P A G", "110000"},
        {"paused and played quickly: the first report is passed over", "p g P A A G", "100000"},
        {"a report once all is answered counts again", "p g A A P", "10001"},
        {"more answers than requests do not hide later ones", "A A g P A P", "110001"},
        {"nothing can play, whatever was asked", "g S", "01"},
    };
    for (const auto& c : cases) {
        PauseState state;
        std::istringstream steps(c.steps);
        std::string step, seen;
        while (steps >> step) {
            switch (step[0]) {
                case 'p':
                    state.asked(true);
                    break;
                case 'g':
                    state.asked(false);
                    break;
                case 'A':
                    state.answered();
                    break;
                case 'P':
                    state.reported(true);
                    break;
                case 'G':
                    state.reported(false);
                    break;
                case 'S':
                    state.stopped();
                    break;
            }
            seen += state.paused() ? '1' : '0';
        }
        EXPECT_EQ(seen, c.paused) << c.what;
    }
}
