#include "tools/artwork/layout.h"

namespace artwork
{
namespace
{
using mk = markkind;

// Shorthands that keep the table one line per mark. A control's mark takes its surfaces,
// place and size from the editor's place table.
mark section(std::uint32_t on, int x, int y, int w, int h, const char* heading = nullptr, hue t = hue::neutral)
{
    return {on, mk::section, x, y, w, h, heading, 0, 1, side::above, glyph::none, t};
}
mark sidetab(std::uint32_t on, int y, int h, const char* heading, hue t)
{
    return {on, mk::sidetab, 616, y, 300, h, heading, 0, 1, side::above, glyph::none, t};
}
mark placed(pspot id, mk kind, const char* text, side where = side::above, glyph icon = glyph::none,
            const char* unit = nullptr, int cell = -1)
{
    const pplace& p = pplaceof(id);
    const pbox b = cell >= 0 ? pcell(p, cell) : pbox{p.x, p.y, p.w, p.h};
    const int style = kind == mk::radio ? p.count : p.style;
    return {p.on, kind, b.x, b.y, b.w, b.h, text, style, p.rows, where, icon, hue::neutral, unit};
}
mark knob(pspot id, const char* caption, side where = side::above)
{
    return placed(id, mk::knob, caption, where);
}
mark field(pspot id, const char* caption, const char* unit = nullptr, int cell = -1)
{
    return placed(id, mk::field, caption, side::above, glyph::none, unit, cell);
}
mark fine(pspot id)
{
    return placed(id, mk::fine, "FINE");
}
mark menu(pspot id, const char* caption, side where = side::left)
{
    return placed(id, mk::menu, caption, where);
}
mark button(pspot id, const char* caption, glyph icon = glyph::none)
{
    return placed(id, mk::button, caption, side::above, icon);
}
mark radio(pspot id, const char* items, glyph icons = glyph::none)
{
    return placed(id, mk::radio, items, side::above, icons);
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
        radio(pspot::monostereo, "MONO|STEREO"),
        button(pspot::mixer, "MIXER", glyph::mixer),
        button(pspot::manual, "MANUAL", glyph::book),
        button(pspot::website, "WEBSITE", glyph::globe),
        button(pspot::back, "BACK", glyph::left),

        // Voices page.
        section(voices, 206, 112, 406, 120),
        knob(pspot::pitchknob, "PITCH"),
        field(pspot::pitchfield, "SEMITONES", "st"),
        fine(pspot::pitchfine),
        section(voices, 206, 236, 406, 126),
        note(voices, 248, 239, 200, 12, "PITCH RANGE", 9),
        radio(pspot::pitchmode, "\xc2\xb1"
                                "1 OCTAVE|\xc2\xb1"
                                "1 OCTAVE B|\xc2\xb1"
                                "2 OCTAVES"),
        note(voices, 248, 303, 200, 12, "ONSET CROSSFADE", 9),
        radio(pspot::crossfade, "OFF|DRY ONSET|TRACKED ONSET"),
        section(voices, 206, 366, 406, 146),
        knob(pspot::globalvolume, "GLOBAL VOLUME"),
        knob(pspot::formantscale, "FORMANT SCALE"),
        knob(pspot::formantshift, "FORMANT SHIFT"),
        section(voices, 206, 518, 262, 164),
        knob(pspot::volume, "VOLUME"),
        knob(pspot::pan, "PAN"),
        section(voices, 472, 518, 140, 164, "VOICES"),
        button(pspot::prevvoice, "PREV", glyph::left),
        button(pspot::nextvoice, "NEXT", glyph::right),
        button(pspot::addvoice, "ADD", glyph::plus),
        button(pspot::deletevoice, "DELETE", glyph::cross),
        note(voices, 527, 596, 80, 33, "NEW VOICE", 9),
        note(voices, 527, 635, 80, 33, "REMOVE", 9),
        sidetab(voices | ondelaypane, 92, 266, "DELAY", hue::delay),
        sidetab(voices | oneqpane, 362, 104, "EQ", hue::eq),
        sidetab(voices | onharmonypane, 470, 214, "HARMONY", hue::harmony),
        menu(pspot::delaymenu, nullptr),
        menu(pspot::eqmenu, nullptr),
        menu(pspot::harmonymenu, nullptr),

        // The side panes: the controls of the voice's delay, EQ and harmony patch.
        knob(pspot::panedelay, "TIME", side::below),
        knob(pspot::panefeedback, "FEEDBACK", side::below),
        knob(pspot::panemix, "MIX", side::below),
        knob(pspot::panedepth, "DEPTH", side::below),
        knob(pspot::panespeed, "SPEED", side::below),
        menu(pspot::paneshape, "SHAPE"),
        button(pspot::panecurve, "EDIT CURVE", glyph::edit),
        knob(pspot::panedetune, "DETUNE", side::below),
        knob(pspot::panesmooth, "SMOOTH", side::below),
        knob(pspot::panegate, "GATE", side::below),
        knob(pspot::panedry, "DRY", side::below),
        menu(pspot::panekey, "KEY", side::above),
        button(pspot::paneintervals, "INTERVALS", glyph::edit),

        // Mix page.
        note(mix, 307, 160, 50, 14, "VOLUME", 9),
        note(mix, 389, 160, 50, 14, "PAN", 9),
        note(mix, 447, 160, 115, 14, "DELAY", 9),
        section(mix, 206, 176, 370, 504),
        section(mix, 642, 96, 274, 142),
        knob(pspot::mixdry, "DRY VOLUME"),
        knob(pspot::mixvolume, "GLOBAL VOLUME"),
        section(mix, 578, 241, 288, 303),
        graph(mix, 584, 264, 265, 265, "PAN \xc2\xb7 DELAY"),
        note(mix, 584, 531, 40, 14, "L", 9),
        note(mix, 809, 531, 40, 14, "R", 9),
        button(pspot::mixdown, "DOWN", glyph::down),
        button(pspot::mixup, "UP", glyph::up),
        note(mix, 714, 581, 140, 40, "SCROLL THE LIST", 9),

        // Modulation pages: the source, then the controls of each source.
        section(modulation, 384, 160, 360, 78),
        note(modulation, 395, 164, 200, 14, "SOURCE", 9),
        radio(pspot::modsource, "LFO|ENVELOPE|MIDI / HOST", glyph::waves),
        section(modulation | delay, 578, 241, 288, 303),
        graph(modulation, 584, 264, 265, 265, "OUTPUT"),
        graph(delay, 584, 264, 265, 265, "ECHOES"),
        section(lfo, 206, 240, 218, 270, "LFO", hue::modulation),
        knob(pspot::lfospeed, "SPEED", side::left),
        knob(pspot::lfodepth, "DEPTH", side::left),
        section(lfo, 384, 558, 360, 114),
        note(lfo, 394, 563, 200, 14, "SHAPE", 9),
        radio(pspot::lfoshape, "TRIANGLE|SINE|RANDOM", glyph::waves),
        section(envpage, 206, 240, 218, 370, "ENVELOPE", hue::modulation),
        knob(pspot::envspeed, "SPEED", side::left),
        knob(pspot::envamount, "AMOUNT", side::left),
        knob(pspot::envsensitivity, "SENSITIVITY", side::left),
        section(envpage | midipage, 472, 574, 260, 68),
        note(envpage, 484, 580, 200, 14, "RESPONSE", 9),
        radio(pspot::envresponse, "FOLLOW|HOLD"),
        section(midipage, 206, 244, 218, 350, "CONTROLLER", hue::modulation),
        menu(pspot::midicc, "MIDI CC"),
        menu(pspot::midihostparam, "HOST PARAM"),
        knob(pspot::midifrom, "FROM", side::left),
        knob(pspot::midito, "TO", side::left),
        note(midipage, 484, 580, 200, 14, "RANGE", 9),
        radio(pspot::midirange, "UNIPOLAR|BIPOLAR"),

        // Delay page.
        section(delay, 290, 146, 284, 118),
        knob(pspot::delayknob, "DELAY TIME"),
        field(pspot::delayfield, "SECONDS", "s"),
        fine(pspot::delayfine),
        section(delay, 206, 268, 162, 262, "ECHO", hue::delay),
        knob(pspot::delayfeedback, "FEEDBACK", side::below),
        knob(pspot::delaymix, "MIX", side::below),
        section(delay, 372, 268, 198, 262, "MODULATION", hue::delay),
        knob(pspot::delayspeed, "SPEED", side::below),
        knob(pspot::delaydepth, "DEPTH", side::below),
        section(delay, 384, 574, 360, 102),
        note(delay, 395, 578, 200, 14, "MODULATION SHAPE", 9),
        radio(pspot::delayshape, "TRIANGLE|SINE|RANDOM", glyph::waves),

        // EQ page: the graph square, drawn on; its grid is the overlay's.
        graph(eq, 369, 142, 512, 512, nullptr),
        section(eq, 206, 186, 112, 160, "CURVE", hue::eq),
        note(eq, 216, 214, 98, 80, "DRAW ON THE|GRAPH TO SHAPE|THE CURVE", 9),
        note(eq, 216, 290, 98, 40,
             "\xc2\xb1"
             "12 dB ACROSS|THE SPECTRUM",
             9),
        button(pspot::eqreset, "RESET CURVE", glyph::reset),

        // Harmony page.
        note(harmony, 337, 174, 200, 14, "INTERVAL SET", 9),
        radio(pspot::harmonyset, "THIRDS|FIFTHS|SIXTHS|CUSTOM"),
        knob(pspot::harmonydetune, "DETUNE", side::below),
        knob(pspot::harmonysmooth, "SMOOTH", side::below),
        knob(pspot::harmonydry, "DRY VOLUME", side::below),
        knob(pspot::harmonygate, "GATE", side::below),
        button(pspot::harmonyinvert, "INVERT", glyph::invert),
        section(harmony, 212, 344, 700, 164, "SEMITONES ABOVE EACH NOTE OF THE KEY", hue::harmony),
        field(pspot::intervals, "ROOT", nullptr, 0),
        field(pspot::intervals, "MIN 2", nullptr, 1),
        field(pspot::intervals, "MAJ 2", nullptr, 2),
        field(pspot::intervals, "MIN 3", nullptr, 3),
        field(pspot::intervals, "MAJ 3", nullptr, 4),
        field(pspot::intervals, "4TH", nullptr, 5),
        field(pspot::intervals, "TRITONE", nullptr, 6),
        field(pspot::intervals, "5TH", nullptr, 7),
        field(pspot::intervals, "MIN 6", nullptr, 8),
        field(pspot::intervals, "MAJ 6", nullptr, 9),
        field(pspot::intervals, "MIN 7", nullptr, 10),
        field(pspot::intervals, "MAJ 7", nullptr, 11),
        note(harmony, 222, 522, 200, 14, "KEY", 9),
        radio(pspot::harmonykey, "C|C\xe2\x99\xaf|D|D\xe2\x99\xaf|E|F|F\xe2\x99\xaf|G|G\xe2\x99\xaf|A|A\xe2\x99\xaf|B"),
    };
}
} // namespace

const std::vector<mark>& marks()
{
    static const std::vector<mark> table = build();
    return table;
}
} // namespace artwork
