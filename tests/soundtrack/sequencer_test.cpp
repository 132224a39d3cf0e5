// sequencer_test.cpp -- pattern text, order lists, and where the song's notes land in samples
#include "snd.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<NoteEvent> SongEvents()
{
    static NoteEvent events[SEQ_MAX_EVENTS];
    int n = Seq_Build(events, SEQ_MAX_EVENTS);
    return std::vector<NoteEvent>(events, events + n);
}

std::vector<NoteEvent> TrackEvents(Track track)
{
    std::vector<NoteEvent> out;
    for (const NoteEvent &e : SongEvents())
        if (e.track == track)
            out.push_back(e);
    return out;
}

} // namespace

TEST(Seq, NoteNamesGiveMidiNumbers)
{
    struct Case { const char *text; int used; int note; };
    const Case cases[] = {
        { "A4", 2, 69 }, { "C4", 2, 60 }, { "C#5", 3, 73 }, { "Bb3", 3, 58 },
        { "E5:2", 2, 76 }, { "G9", 2, 127 }, { "C0", 2, 12 },
        { "H4", 0, -1 }, { "C", 0, -1 }, { "c4", 0, -1 }, { "-", 0, -1 },
    };
    for (const Case &c : cases) {
        int note = -1;
        EXPECT_EQ(Seq_ParseNoteName(c.text, &note), c.used) << c.text;
        if (c.used) {
            EXPECT_EQ(note, c.note) << c.text;
        }
    }
}

TEST(Seq, PatternTokensCarryPitchKindAndLength)
{
    PatternNote p[8];
    ASSERT_EQ(Seq_ParsePattern("A4:3 -:2  +12:1 #5:2 *:4", p, 8), 5);
    EXPECT_EQ(p[0].kind, PITCH_ABSOLUTE);  EXPECT_EQ(p[0].value, 69); EXPECT_EQ(p[0].steps, 3);
    EXPECT_EQ(p[1].kind, PITCH_REST);      EXPECT_EQ(p[1].steps, 2);
    EXPECT_EQ(p[2].kind, PITCH_ROOT);      EXPECT_EQ(p[2].value, 12); EXPECT_EQ(p[2].steps, 1);
    EXPECT_EQ(p[3].kind, PITCH_CHORDTONE); EXPECT_EQ(p[3].value, 5);  EXPECT_EQ(p[3].steps, 2);
    EXPECT_EQ(p[4].kind, PITCH_CHORD);     EXPECT_EQ(p[4].steps, 4);
    EXPECT_EQ(Seq_ParsePattern("", p, 8), 0);

    const char *bad[] = { "A4", "A4:0", "Q4:1", "+x:1", "#:2", "A4:2x", ":3", "A4:1 B4:1 C5:1" };
    for (const char *text : bad)
        EXPECT_EQ(Seq_ParsePattern(text, p, 2), -1) << text; // the last one overflows two slots
}

TEST(Seq, DrumStepsGiveVelocities)
{
    float v = -1.0f;
    EXPECT_EQ(Seq_StepVelocity('x', &v), 1); EXPECT_FLOAT_EQ(v, 1.0f);
    EXPECT_EQ(Seq_StepVelocity('5', &v), 1); EXPECT_FLOAT_EQ(v, 0.5f);
    EXPECT_EQ(Seq_StepVelocity('1', &v), 1); EXPECT_FLOAT_EQ(v, 0.1f);
    EXPECT_EQ(Seq_StepVelocity('.', &v), 0);
    EXPECT_EQ(Seq_StepVelocity('0', &v), 0);
}

TEST(Seq, DiatonicShiftStaysInDMinor)
{
    struct Case { int note, degrees, want; };
    const Case cases[] = {
        { 69, -2, 65 }, // A4 -> F4
        { 74, -2, 70 }, // D5 -> Bb4
        { 76, -2, 72 }, // E5 -> C5
        { 84, -2, 81 }, // C6 -> A5
        { 79, -2, 76 }, // G5 -> E5
        { 62,  7, 74 }, // D4 up an octave
        { 62, -7, 50 }, // D4 down an octave
        { 65,  1, 67 }, // F4 -> G4
        { 70,  1, 72 }, // Bb4 -> C5
        { 72,  1, 74 }, // C5 -> D5, over the octave line
    };
    for (const Case &c : cases)
        EXPECT_EQ(Seq_DiatonicShift(c.note, c.degrees), c.want) << c.note << " by " << c.degrees;
}

TEST(Seq, OrderListsSkipSpacesBetweenGroups)
{
    EXPECT_EQ(Seq_LaneBar("ab cd", 0), 'a');
    EXPECT_EQ(Seq_LaneBar("ab cd", 2), 'c');
    EXPECT_EQ(Seq_LaneBar("ab cd", 3), 'd');
    EXPECT_EQ(Seq_LaneBar("ab cd", 4), '.');
}

TEST(Seq, EveryOrderListCoversTheSixtyFourBars)
{
    auto bars = [](const char *lane) {
        int n = 0;
        for (const char *p = lane; *p; p++)
            n += *p != ' ';
        return n;
    };
    EXPECT_EQ(bars(song_chordLane), 64);
    for (int i = 0; i < song_orderCount; i++)
        EXPECT_EQ(bars(song_orders[i].order), 64) << "order " << i;
    for (int i = 0; i < AUTO_COUNT; i++)
        EXPECT_EQ(bars(song_autoLanes[i]), 64) << "lane " << i;
}

TEST(Seq, EveryPatternParsesAndFillsItsBars)
{
    for (int i = 0; i < song_patternCount; i++) {
        const PatternDef &p = song_patterns[i];
        if (p.track <= TRACK_CRASH) {
            EXPECT_EQ(std::string(p.text).size(), 16u) << "drum pattern " << p.name;
            continue;
        }
        PatternNote notes[SEQ_MAX_TOKENS];
        int n = Seq_ParsePattern(p.text, notes, SEQ_MAX_TOKENS);
        ASSERT_GT(n, 0) << p.text;
        int steps = 0;
        for (int k = 0; k < n; k++)
            steps += notes[k].steps;
        EXPECT_EQ(steps % SND_STEPS_PER_BAR, 0) << p.text;
    }
}

TEST(Seq, SongEventsComeInTimeOrderInsideTheSong)
{
    std::vector<NoteEvent> ev = SongEvents();
    ASSERT_GT(ev.size(), 1000u);
    for (size_t i = 1; i < ev.size(); i++)
        ASSERT_LE(ev[i - 1].start, ev[i].start) << i;
    for (const NoteEvent &e : ev) {
        ASSERT_GE(e.start, 0);
        ASSERT_LT(e.start + e.length, SND_SONG_FRAMES + 2 * SND_BAR); // a riser may reach a bar past its start
        ASSERT_LE(e.start, SND_SONG_FRAMES - SND_STEP);
    }
}

TEST(Seq, NotesLandOnTheirSampleOffsets)
{
    // 128 BPM at 32 kHz: a sixteenth is 3750 samples, a bar 60000
    std::vector<NoteEvent> kick = TrackEvents(TRACK_KICK);
    ASSERT_GE(kick.size(), 2u);
    EXPECT_EQ(kick[0].start, 480000);   // bar 9, the build-up
    EXPECT_EQ(kick[1].start, 495000);   // the next beat
    EXPECT_FLOAT_EQ(kick[0].vel, 1.0f);

    std::vector<NoteEvent> clap = TrackEvents(TRACK_CLAP);
    ASSERT_FALSE(clap.empty());
    EXPECT_EQ(clap[0].start, 735000);   // bar 13, beat 2

    std::vector<NoteEvent> bass = TrackEvents(TRACK_BASS);
    ASSERT_GE(bass.size(), 4u);
    EXPECT_EQ(bass[0].start, 487500);   // off-beat after the first kick
    EXPECT_EQ(bass[0].note, 38);        // D2, root of D minor
    EXPECT_EQ(bass[0].length, 7500);
    EXPECT_EQ(bass[3].note, 50);        // the octave at the end of the bar

    std::vector<NoteEvent> lead = TrackEvents(TRACK_LEAD);
    ASSERT_GE(lead.size(), 2u);
    EXPECT_EQ(lead[0].start, 960000);   // bar 17, the theme
    EXPECT_EQ(lead[0].note, 69);        // A4
    EXPECT_EQ(lead[0].length, 11250);   // three sixteenths
    EXPECT_EQ(lead[1].start, 971250);
    EXPECT_EQ(lead[1].note, 74);        // D5

    std::vector<NoteEvent> harmony = TrackEvents(TRACK_HARMONY);
    ASSERT_FALSE(harmony.empty());
    EXPECT_EQ(harmony[0].start, 1440000); // bar 25
    EXPECT_EQ(harmony[0].note, 65);       // F4, a third under the lead's A4

    std::vector<NoteEvent> pad = TrackEvents(TRACK_PAD);
    ASSERT_GE(pad.size(), 8u);
    const int dMinor[4] = { 57, 62, 65, 69 };
    const int bFlat[4] = { 58, 62, 65, 69 };
    for (int i = 0; i < 4; i++) {
        EXPECT_EQ(pad[i].start, 0);
        EXPECT_EQ(pad[i].length, 60000);
        EXPECT_EQ(pad[i].note, dMinor[i]);
        EXPECT_EQ(pad[4 + i].start, 60000);
        EXPECT_EQ(pad[4 + i].note, bFlat[i]);
    }

    std::vector<NoteEvent> arp = TrackEvents(TRACK_ARP);
    ASSERT_GE(arp.size(), 5u);
    EXPECT_EQ(arp[0].start, 240000);     // bar 5
    EXPECT_EQ(arp[4].note, 74);          // chord tone 5: D4 an octave up
    EXPECT_EQ(arp[4].start, 240000 + 4 * 3750);
}

TEST(Seq, LastSixteenthOfTheSongIsARest)
{
    // the loop point falls on a rest: nothing is held into the final sixteenth
    for (const NoteEvent &e : SongEvents()) {
        if (e.track == TRACK_RISER)
            continue; // the riser swells into bar 1 and is faded with the rest
        EXPECT_LE(e.start + e.length, SND_SONG_FRAMES - SND_STEP) << "track " << (int)e.track << " at " << e.start;
    }
}

TEST(Seq, FilterLanesGlideBetweenBarsAndWrapAtTheLoop)
{
    EXPECT_NEAR(Seq_Automation(AUTO_PAD, 0), 235.375f, 0.01f);          // digit 1
    EXPECT_NEAR(Seq_Automation(AUTO_PAD, 30000), 294.846f, 0.01f);      // half way to digit 2
    EXPECT_NEAR(Seq_Automation(AUTO_PAD, 16 * 60000), 8652.0f, 0.5f);   // bar 17, digit 9
    EXPECT_NEAR(Seq_Automation(AUTO_PAD, 63 * 60000 + 30000), 294.846f, 0.01f); // bar 64 glides 2 -> bar 1's 1
}
