// Whether the player counts as paused, as asked of mpv and as mpv reports it, in whatever order they meet.

#include <gtest/gtest.h>

#include <string>
#include <string_view>

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
        {"asked, answered, then reported", "gAG", "000"},
        {"mpv pauses by itself at a file's end", "gAP", "001"},
        // The last movie's end is told after the next movie was asked to play.
        {"a pause told after going was asked", "pAgPAG", "110000"},
        {"paused and played quickly: the first report is passed over", "pgPAAG", "100000"},
        {"a report once all is answered counts again", "pgAAP", "10001"},
        {"more answers than requests do not hide later ones", "AAgPAP", "110001"},
        {"nothing can play, whatever was asked", "gS", "01"},
    };
    for (const auto& c : cases) {
        PauseState state;
        std::string seen;
        for (const char step : std::string_view(c.steps)) {
            if (step == 'p' || step == 'g') state.asked(step == 'p');
            if (step == 'P' || step == 'G') state.reported(step == 'P');
            if (step == 'A') state.answered();
            if (step == 'S') state.stopped();
            seen += state.paused() ? '1' : '0';
        }
        EXPECT_EQ(seen, c.paused) << c.what;
    }
}
