#include "tools/artwork/layout.h"

namespace artwork
{
int knobsize(int style)
{
    return style == 1 ? 84 : style == 2 ? 50 : 72;
}

namespace
{
using mk = markkind;

// Shorthands that keep the table one line per widget.
mark section(std::uint32_t on, int x, int y, int w, int h, const char* heading = nullptr, hue t = hue::neutral)
{
    return {on, mk::section, x, y, w, h, heading, 0, 1, side::above, glyph::none, t};
}
mark sidetab(std::uint32_t on, int y, int h, const char* heading, hue t)
{
    return {on, mk::sidetab, 616, y, 300, h, heading, 0, 1, side::above, glyph::none, t};
}
mark knob(std::uint32_t on, int x, int y, int style, const char* caption, side where = side::above)
{
    return {on, mk::knob, x, y, knobsize(style), knobsize(style), caption, style, 1, where};
}
mark field(std::uint32_t on, int x, int y, const char* caption, const char* unit = nullptr)
{
    return {on, mk::field, x, y, 78, 24, caption, 0, 1, side::above, glyph::none, hue::neutral, unit};
}
mark fine(std::uint32_t on, int x, int y)
{
    return {on, mk::fine, x, y, 34, 24, "FINE"};
}
mark menu(std::uint32_t on, int x, int y, int w, const char* caption, side where = side::left)
{
    return {on, mk::menu, x, y, w, 18, caption, 0, 1, where};
}
mark button(std::uint32_t on, int x, int y, int w, int h, const char* caption, glyph icon = glyph::none)
{
    return {on, mk::button, x, y, w, h, caption, 0, 1, side::above, icon};
}
mark radio(std::uint32_t on, int x, int y, int count, int rows, int w, int h, const char* items,
           glyph icons = glyph::none)
{
    return {on, mk::radio, x, y, w, h, items, count, rows, side::above, icons};
}
mark graph(std::uint32_t on, int x, int y, int w, int h, const char* caption)
{
    return {on, mk::graph, x, y, w, h, caption};
}
mark note(std::uint32_t on, int x, int y, int w, int h, const char* text, int size = 10)
{
    return {on, mk::note, x, y, w, h, text, size};
}

constexpr std::uint32_t voices = onvoices, mix = onmix, lfo = onlfo, envelope = onenvelope, controller = oncontroller,
                        delay = ondelay, eq = oneq, harmony = onharmony;
constexpr std::uint32_t modulation = onmodulation, patchpages = onpatchpages, every = oneverypage;
constexpr std::uint32_t midipage = controller, envpage = envelope;

std::vector<mark> build()
{
    return {
        // The closing controls of every page.
        radio(every, 667, 28, 2, 1, 122, 36, "MONO|STEREO"),
        button(every, 32, 354, 132, 37, "MIXER", glyph::mixer),
        button(every, 32, 555, 132, 37, "MANUAL", glyph::book),
        button(every, 32, 616, 132, 40, "WEBSITE", glyph::globe),
        button(patchpages | mix, 226, 138, 57, 34, "BACK", glyph::left),

        // Voices page.
        section(voices, 206, 112, 406, 120),
        knob(voices, 245, 144, 1, "PITCH"),
        field(voices, 400, 182, "SEMITONES", "st"),
        fine(voices, 363, 184),
        section(voices, 206, 236, 406, 126),
        note(voices, 248, 239, 200, 12, "PITCH RANGE", 9),
        radio(voices, 244, 253, 3, 1, 122, 36,
              "\xc2\xb1"
              "1 OCTAVE|\xc2\xb1"
              "1 OCTAVE B|\xc2\xb1"
              "2 OCTAVES"),
        note(voices, 248, 303, 200, 12, "ONSET CROSSFADE", 9),
        radio(voices, 244, 317, 3, 1, 122, 36, "OFF|DRY ONSET|TRACKED ONSET"),
        section(voices, 206, 366, 406, 146),
        knob(voices, 229, 429, 0, "GLOBAL VOLUME"),
        knob(voices, 388, 397, 0, "FORMANT SCALE"),
        knob(voices, 519, 397, 0, "FORMANT SHIFT"),
        section(voices, 206, 518, 262, 164),
        knob(voices, 229, 568, 0, "VOLUME"),
        knob(voices, 341, 568, 0, "PAN"),
        section(voices, 472, 518, 140, 164, "VOICES"),
        button(voices, 481, 558, 44, 33, "PREV", glyph::left),
        button(voices, 532, 558, 44, 33, "NEXT", glyph::right),
        button(voices, 481, 596, 42, 33, "ADD", glyph::plus),
        button(voices, 481, 635, 42, 33, "DELETE", glyph::cross),
        note(voices, 527, 596, 80, 33, "NEW VOICE", 9),
        note(voices, 527, 635, 80, 33, "REMOVE", 9),
        sidetab(voices | ondelaypane, 92, 266, "DELAY", hue::delay),
        sidetab(voices | oneqpane, 362, 104, "EQ", hue::eq),
        sidetab(voices | onharmonypane, 470, 214, "HARMONY", hue::harmony),
        menu(voices | ondelaypane, 660, 116, 173, nullptr),
        menu(voices | oneqpane, 673, 377, 173, nullptr),
        menu(voices | onharmonypane, 657, 476, 173, nullptr),

        // The side panes: the controls of the voice's delay, EQ and harmony patch.
        knob(ondelaypane, 662, 156, 2, "TIME", side::below),
        knob(ondelaypane, 752, 156, 2, "FEEDBACK", side::below),
        knob(ondelaypane, 843, 156, 2, "MIX", side::below),
        knob(ondelaypane, 701, 243, 2, "DEPTH", side::below),
        knob(ondelaypane, 802, 243, 2, "SPEED", side::below),
        menu(ondelaypane, 729, 330, 100, "SHAPE"),
        button(oneqpane, 727, 408, 102, 24, "EDIT CURVE", glyph::edit),
        knob(onharmonypane, 702, 508, 2, "DETUNE", side::below),
        knob(onharmonypane, 805, 508, 2, "SMOOTH", side::below),
        knob(onharmonypane, 664, 594, 2, "GATE", side::below),
        knob(onharmonypane, 844, 594, 2, "DRY", side::below),
        menu(onharmonypane, 729, 610, 100, "KEY", side::above),
        button(onharmonypane, 727, 644, 102, 24, "INTERVALS", glyph::edit),

        // Mix page.
        note(mix, 307, 160, 50, 14, "VOLUME", 9),
        note(mix, 389, 160, 50, 14, "PAN", 9),
        note(mix, 447, 160, 115, 14, "DELAY", 9),
        section(mix, 206, 176, 370, 504),
        section(mix, 642, 96, 274, 142),
        knob(mix, 660, 135, 0, "DRY VOLUME"),
        knob(mix, 766, 135, 0, "GLOBAL VOLUME"),
        section(mix, 578, 241, 288, 303),
        graph(mix, 584, 264, 265, 265, "PAN \xc2\xb7 DELAY"),
        note(mix, 584, 531, 40, 14, "L", 9),
        note(mix, 809, 531, 40, 14, "R", 9),
        button(mix, 585, 581, 51, 40, "DOWN", glyph::down),
        button(mix, 655, 581, 51, 40, "UP", glyph::up),
        note(mix, 714, 581, 140, 40, "SCROLL THE LIST", 9),

        // Modulation pages: the source, then the controls of each source.
        section(modulation, 384, 160, 360, 78),
        note(modulation, 395, 164, 200, 14, "SOURCE", 9),
        radio(modulation, 391, 182, 3, 1, 115, 77, "LFO|ENVELOPE|MIDI / HOST", glyph::waves),
        section(modulation | delay, 578, 241, 288, 303),
        graph(modulation, 584, 264, 265, 265, "OUTPUT"),
        graph(delay, 584, 264, 265, 265, "ECHOES"),
        section(lfo, 206, 240, 218, 270, "LFO", hue::modulation),
        knob(lfo, 324, 280, 0, "SPEED", side::left),
        knob(lfo, 324, 420, 0, "DEPTH", side::left),
        section(lfo, 384, 558, 360, 114),
        note(lfo, 394, 563, 200, 14, "SHAPE", 9),
        radio(lfo, 390, 581, 3, 1, 115, 77, "TRIANGLE|SINE|RANDOM", glyph::waves),
        section(envpage, 206, 240, 218, 370, "ENVELOPE", hue::modulation),
        knob(envpage, 324, 244, 0, "SPEED", side::left),
        knob(envpage, 324, 384, 0, "AMOUNT", side::left),
        knob(envpage, 324, 520, 0, "SENSITIVITY", side::left),
        section(envpage | midipage, 472, 574, 260, 68),
        note(envpage, 484, 580, 200, 14, "RESPONSE", 9),
        radio(envpage, 480, 596, 2, 1, 122, 36, "FOLLOW|HOLD"),
        section(midipage, 206, 244, 218, 350, "CONTROLLER", hue::modulation),
        menu(midipage, 295, 269, 100, "MIDI CC"),
        menu(midipage, 295, 319, 100, "HOST PARAM"),
        knob(midipage, 324, 358, 0, "FROM", side::left),
        knob(midipage, 324, 498, 0, "TO", side::left),
        note(midipage, 484, 580, 200, 14, "RANGE", 9),
        radio(midipage, 480, 596, 2, 1, 122, 36, "UNIPOLAR|BIPOLAR"),

        // Delay page.
        section(delay, 290, 146, 284, 118),
        knob(delay, 338, 173, 1, "DELAY TIME"),
        field(delay, 493, 201, "SECONDS", "s"),
        fine(delay, 456, 203),
        section(delay, 206, 268, 162, 262, "ECHO", hue::delay),
        knob(delay, 272, 297, 0, "FEEDBACK", side::below),
        knob(delay, 272, 434, 0, "MIX", side::below),
        section(delay, 372, 268, 198, 262, "MODULATION", hue::delay),
        knob(delay, 428, 297, 0, "SPEED", side::below),
        knob(delay, 428, 434, 0, "DEPTH", side::below),
        section(delay, 384, 574, 360, 102),
        note(delay, 395, 578, 200, 14, "MODULATION SHAPE", 9),
        radio(delay, 391, 596, 3, 1, 115, 77, "TRIANGLE|SINE|RANDOM", glyph::waves),

        // EQ page: the graph square, drawn on; its grid is the overlay's.
        graph(eq, 369, 142, 512, 512, nullptr),
        section(eq, 206, 186, 112, 160, "CURVE", hue::eq),
        note(eq, 216, 214, 98, 80, "DRAW ON THE|GRAPH TO SHAPE|THE CURVE", 9),
        note(eq, 216, 290, 98, 40,
             "\xc2\xb1"
             "12 dB ACROSS|THE SPECTRUM",
             9),
        button(eq, 222, 612, 115, 34, "RESET CURVE", glyph::reset),

        // Harmony page.
        note(harmony, 337, 174, 200, 14, "INTERVAL SET", 9),
        radio(harmony, 333, 190, 4, 1, 115, 77, "THIRDS|FIFTHS|SIXTHS|CUSTOM"),
        knob(harmony, 232, 253, 0, "DETUNE", side::below),
        knob(harmony, 358, 253, 0, "SMOOTH", side::below),
        knob(harmony, 674, 253, 0, "DRY VOLUME", side::below),
        knob(harmony, 808, 253, 0, "GATE", side::below),
        button(harmony, 500, 250, 108, 19, "INVERT", glyph::invert),
        section(harmony, 212, 344, 700, 164, "SEMITONES ABOVE EACH NOTE OF THE KEY", hue::harmony),
        field(harmony, 229, 384, "ROOT"),
        field(harmony, 344, 384, "MIN 2"),
        field(harmony, 459, 384, "MAJ 2"),
        field(harmony, 574, 384, "MIN 3"),
        field(harmony, 689, 384, "MAJ 3"),
        field(harmony, 804, 384, "4TH"),
        field(harmony, 229, 461, "TRITONE"),
        field(harmony, 344, 461, "5TH"),
        field(harmony, 459, 461, "MIN 6"),
        field(harmony, 574, 461, "MAJ 6"),
        field(harmony, 689, 461, "MIN 7"),
        field(harmony, 804, 461, "MAJ 7"),
        note(harmony, 222, 522, 200, 14, "KEY", 9),
        radio(harmony, 218, 538, 12, 2, 115, 77,
              "C|C\xe2\x99\xaf|D|D\xe2\x99\xaf|E|F|F\xe2\x99\xaf|G|G\xe2\x99\xaf|A|A\xe2\x99\xaf|B"),
    };
}
} // namespace

const std::vector<mark>& marks()
{
    static const std::vector<mark> table = build();
    return table;
}
} // namespace artwork
