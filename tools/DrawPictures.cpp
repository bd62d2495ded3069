// Draws the editor's two pictures, background.png and logo.png, into a folder.
//
// The output must be the same bytes on every run and every machine, so nothing here depends
// on fonts, the clock or library random generators: lettering is built from straight edges and
// Bezier quarter-ellipses, noise comes from our own integer hash, and no trigonometric
// functions are used (their last bit may differ between maths libraries).

#include <juce_core/juce_core.h>
#include <juce_graphics/juce_graphics.h>

#include <cmath>
#include <cstdint>
#include <iostream>

namespace
{
//==============================================================================
// Noise

uint32_t hash (int x, int y, uint32_t seed)
{
    auto h = static_cast<uint32_t> (x) * 0x8da6b343u
           + static_cast<uint32_t> (y) * 0xd8163841u
           + seed * 0xcb1ab31fu;

    h ^= h >> 16;
    h *= 0x7feb352du;
    h ^= h >> 15;
    h *= 0x846ca68bu;
    h ^= h >> 16;
    return h;
}

/** A number in [0, 1) fixed by the lattice point and seed. */
float unitHash (int x, int y, uint32_t seed)
{
    return static_cast<float> (hash (x, y, seed) >> 8) * (1.0f / 16777216.0f);
}

float smoothStep (float edge0, float edge1, float x)
{
    auto t = juce::jlimit (0.0f, 1.0f, (x - edge0) / (edge1 - edge0));
    return t * t * (3.0f - 2.0f * t);
}

/** Smooth lattice noise in [0, 1], one feature per unit of x and y. */
float valueNoise (float x, float y, uint32_t seed)
{
    auto fx = std::floor (x);
    auto fy = std::floor (y);
    auto ix = static_cast<int> (fx);
    auto iy = static_cast<int> (fy);
    auto sx = smoothStep (0.0f, 1.0f, x - fx);
    auto sy = smoothStep (0.0f, 1.0f, y - fy);

    auto top    = juce::jmap (sx, unitHash (ix, iy, seed),     unitHash (ix + 1, iy, seed));
    auto bottom = juce::jmap (sx, unitHash (ix, iy + 1, seed), unitHash (ix + 1, iy + 1, seed));
    return juce::jmap (sy, top, bottom);
}

/** Three octaves of value noise, in [0, 1]. */
float fractalNoise (float x, float y, uint32_t seed)
{
    return (valueNoise (x, y, seed)
            + 0.5f * valueNoise (x * 2.03f, y * 2.03f, seed + 101)
            + 0.25f * valueNoise (x * 4.11f, y * 4.11f, seed + 202)) / 1.75f;
}

/** Roughly bell-shaped in [-1, 1]: the sum of two uniform numbers, per pixel. */
float grain (int x, int y, uint32_t seed)
{
    return unitHash (x, y, seed) + unitHash (x, y, seed + 1) - 1.0f;
}

uint8_t toChannel (float value)
{
    return static_cast<uint8_t> (juce::jlimit (0, 255, juce::roundToInt (value)));
}

juce::Colour rgb (float r, float g, float b)
{
    return juce::Colour (toChannel (r), toChannel (g), toChannel (b));
}

//==============================================================================
// Background

constexpr int backgroundWidth = 3167;
constexpr int backgroundHeight = 1584;

constexpr int cheekWidth = 143;           // about 4.5 % of the width
constexpr int edgeHeight = 19;            // about 1.2 % of the height
constexpr int stripTop = 1204;            // 0.76 of the height
constexpr int stripBottom = 1521;         // 0.96 of the height

/** Walnut, grain running along v; across is 0 at the board's outer edge and 1 at the panel. */
juce::Colour woodColour (int u, int v, float across, uint32_t seed)
{
    auto fu = static_cast<float> (u);
    auto fv = static_cast<float> (v);

    // Growth rings cut lengthwise: bands across the board that drift slowly along it.
    auto drift = 40.0f * fractalNoise (fu * 0.004f, fv * 0.0009f, seed)
               + 12.0f * valueNoise (fu * 0.06f, fv * 0.0007f, seed + 3);
    auto ring = (fu + drift) / 19.0f;
    auto phase = ring - std::floor (ring);
    auto lateWood = smoothStep (0.62f, 0.84f, phase) * (1.0f - smoothStep (0.9f, 1.0f, phase));

    auto fibres = valueNoise (fu * 0.45f, fv * 0.012f, seed + 7) - 0.5f;
    auto figure = fractalNoise (fu * 0.012f, fv * 0.0025f, seed + 13) - 0.5f;

    auto tone = 0.62f - 0.42f * lateWood + 0.22f * fibres + 0.35f * figure;

    // A rounded board: darker where it turns away at the outer edge.
    auto shade = 0.62f + 0.38f * smoothStep (0.0f, 0.35f, across) - 0.08f * smoothStep (0.75f, 1.0f, across);
    auto fine = 1.5f * grain (u, v, seed + 21);

    return rgb ((56.0f + 80.0f * tone) * shade + fine,
                (31.0f + 50.0f * tone) * shade + fine,
                (17.0f + 29.0f * tone) * shade + fine);
}

/** Grey offset of the panel's powder-coat finish, in 8-bit levels. */
float panelTexture (int x, int y)
{
    auto mottle = 4.0f * (fractalNoise (static_cast<float> (x) / 140.0f, static_cast<float> (y) / 140.0f, 31) - 0.5f);
    return mottle + 1.3f * grain (x, y, 41);
}

void fillBackgroundTexture (juce::Image& image)
{
    juce::Image::BitmapData pixels (image, juce::Image::BitmapData::writeOnly);

    for (int y = 0; y < backgroundHeight; ++y)
    {
        // Light falls from above: the upper field brightens slightly towards the top.
        auto light = 3.0f * (1.0f - static_cast<float> (y) / static_cast<float> (stripTop));

        for (int x = 0; x < backgroundWidth; ++x)
        {
            juce::Colour colour;

            if (x < cheekWidth)
                colour = woodColour (x, y, static_cast<float> (x) / cheekWidth, 1000);
            else if (x >= backgroundWidth - cheekWidth)
                colour = woodColour (x, y, static_cast<float> (backgroundWidth - 1 - x) / cheekWidth, 2000);
            else if (y < edgeHeight)
                colour = woodColour (y, x, static_cast<float> (y) / edgeHeight, 3000);
            else if (y >= backgroundHeight - edgeHeight)
                colour = woodColour (y, x, static_cast<float> (backgroundHeight - 1 - y) / edgeHeight, 4000);
            else if (y >= stripTop && y < stripBottom)
            {
                auto level = panelTexture (x, y);
                colour = rgb (35.0f + level, 36.0f + level, 39.0f + level);
            }
            else
            {
                auto level = light + panelTexture (x, y);
                colour = rgb (56.0f + level, 58.0f + level, 62.0f + level);
            }

            pixels.setPixelColour (x, y, colour);
        }
    }
}

/** A soft shadow falling from an edge into the area, strongest at the edge. */
void drawEdgeShadow (juce::Graphics& g, juce::Rectangle<float> area, juce::Point<float> edge,
                     juce::Point<float> inside, float alpha)
{
    g.setGradientFill (juce::ColourGradient (juce::Colours::black.withAlpha (alpha), edge,
                                             juce::Colours::transparentBlack, inside, false));
    g.fillRect (area);
}

void drawJoints (juce::Graphics& g)
{
    constexpr auto w = static_cast<float> (backgroundWidth);
    constexpr auto h = static_cast<float> (backgroundHeight);
    constexpr auto cheek = static_cast<float> (cheekWidth);
    constexpr auto edge = static_cast<float> (edgeHeight);
    constexpr auto panelWidth = w - 2.0f * cheek;

    // The strip is a separate plate: a dark gap above and below it, its top edge catching light.
    auto top = static_cast<float> (stripTop);
    auto bottom = static_cast<float> (stripBottom);

    drawEdgeShadow (g, { cheek, top, panelWidth, 14.0f }, { 0.0f, top }, { 0.0f, top + 14.0f }, 0.45f);
    g.setColour (juce::Colours::black.withAlpha (0.75f));
    g.fillRect (cheek, top - 1.0f, panelWidth, 3.0f);
    g.fillRect (cheek, bottom - 2.0f, panelWidth, 3.0f);
    g.setColour (juce::Colours::white.withAlpha (0.09f));
    g.fillRect (cheek, top + 2.0f, panelWidth, 1.0f);
    g.fillRect (cheek, bottom + 1.0f, panelWidth, 1.0f);
    g.setColour (juce::Colours::white.withAlpha (0.05f));
    g.fillRect (cheek, top - 3.0f, panelWidth, 1.0f);

    // The wood stands proud of the panel and throws a shadow onto it.
    drawEdgeShadow (g, { cheek, edge, panelWidth, 22.0f }, { 0.0f, edge }, { 0.0f, edge + 22.0f }, 0.6f);
    drawEdgeShadow (g, { cheek, h - edge - 8.0f, panelWidth, 8.0f }, { 0.0f, h - edge }, { 0.0f, h - edge - 8.0f }, 0.3f);
    drawEdgeShadow (g, { cheek, edge, 20.0f, h - 2.0f * edge }, { cheek, 0.0f }, { cheek + 20.0f, 0.0f }, 0.55f);
    drawEdgeShadow (g, { w - cheek - 20.0f, edge, 20.0f, h - 2.0f * edge }, { w - cheek, 0.0f }, { w - cheek - 20.0f, 0.0f }, 0.55f);

    // Seams between the boards and the panel, with a lit arris on the wood.
    g.setColour (juce::Colours::black.withAlpha (0.7f));
    g.fillRect (cheek - 1.0f, 0.0f, 2.0f, h);
    g.fillRect (w - cheek - 1.0f, 0.0f, 2.0f, h);
    g.fillRect (cheek, edge - 1.0f, panelWidth, 2.0f);
    g.fillRect (cheek, h - edge - 1.0f, panelWidth, 2.0f);

    g.setColour (juce::Colours::white.withAlpha (0.12f));
    g.fillRect (cheek - 3.0f, 0.0f, 2.0f, h);
    g.fillRect (w - cheek + 1.0f, 0.0f, 2.0f, h);
    g.fillRect (cheek + 1.0f, h - edge + 1.0f, panelWidth - 2.0f, 2.0f);
    g.setColour (juce::Colours::white.withAlpha (0.07f));
    g.fillRect (cheek + 1.0f, edge - 3.0f, panelWidth - 2.0f, 2.0f);
}

/** A slotted round-head screw; the slot direction (dx, dy) need not be normalised. */
void drawScrew (juce::Graphics& g, juce::Point<float> centre, float dx, float dy)
{
    constexpr float radius = 25.0f;

    auto circle = [centre] (float r)
    {
        return juce::Rectangle<float> (2.0f * r, 2.0f * r).withCentre (centre);
    };

    // Shadow cast down and to the right.
    juce::ColourGradient shadow (juce::Colours::black.withAlpha (0.5f), centre + juce::Point<float> (3.0f, 4.0f),
                                 juce::Colours::transparentBlack, centre + juce::Point<float> (3.0f, 4.0f + radius + 9.0f), true);
    shadow.addColour (radius / (radius + 9.0f), juce::Colours::black.withAlpha (0.45f));
    g.setGradientFill (shadow);
    g.fillEllipse (circle (radius + 9.0f).translated (3.0f, 4.0f));

    // The recess the head sits in.
    g.setColour (juce::Colour (0xff1a1b1d));
    g.fillEllipse (circle (radius + 2.5f));

    // Domed steel head, lit from the upper left.
    auto highlight = centre + juce::Point<float> (-0.35f * radius, -0.4f * radius);
    juce::ColourGradient head (juce::Colour (0xffc4c6ca), highlight,
                               juce::Colour (0xff4a4c50), highlight + juce::Point<float> (1.55f * radius, 0.0f), true);
    head.addColour (0.45, juce::Colour (0xff8d9095));
    g.setGradientFill (head);
    g.fillEllipse (circle (radius));

    g.setGradientFill (juce::ColourGradient (juce::Colours::white.withAlpha (0.35f), centre - juce::Point<float> (radius, radius),
                                             juce::Colours::black.withAlpha (0.35f), centre + juce::Point<float> (radius, radius), false));
    g.drawEllipse (circle (radius - 0.75f), 1.5f);

    // The slot, with its far wall catching the light.
    auto length = std::sqrt (dx * dx + dy * dy);
    auto cosine = dx / length;
    auto sine = dy / length;
    juce::AffineTransform toScrew (cosine, -sine, centre.x, sine, cosine, centre.y);

    juce::Path slot;
    slot.addRectangle (-0.86f * radius, -0.11f * radius, 1.72f * radius, 0.22f * radius);
    g.setColour (juce::Colour (0xff16171a));
    g.fillPath (slot, toScrew);

    juce::Path wall;
    wall.addRectangle (-0.86f * radius, 0.11f * radius - 1.5f, 1.72f * radius, 1.5f);
    g.setColour (juce::Colours::white.withAlpha (0.28f));
    g.fillPath (wall, toScrew);
}

juce::Image drawBackground()
{
    juce::Image image (juce::Image::ARGB, backgroundWidth, backgroundHeight, true, juce::SoftwareImageType());
    fillBackgroundTexture (image);

    juce::Graphics g (image);
    drawJoints (g);

    // One screw near each corner of the upper field, clear of the controls.
    constexpr auto left = static_cast<float> (cheekWidth + 70);
    constexpr auto right = static_cast<float> (backgroundWidth - cheekWidth - 70);
    constexpr auto top = static_cast<float> (edgeHeight + 72);
    constexpr auto bottom = static_cast<float> (stripTop - 72);

    drawScrew (g, { left, top }, 1.0f, 0.38f);
    drawScrew (g, { right, top }, 0.45f, 1.0f);
    drawScrew (g, { left, bottom }, 1.0f, -0.7f);
    drawScrew (g, { right, bottom }, 1.0f, 0.1f);

    return image;
}

//==============================================================================
// Logo

constexpr int logoWidth = 2163;
constexpr int logoHeight = 472;

constexpr float capHeight = 240.0f;
constexpr float stem = 50.0f;             // vertical strokes
constexpr float bar = 44.0f;              // horizontal strokes, a little lighter to look even
constexpr float diagonal = 58.0f;         // diagonal strokes, measured horizontally

juce::Path polygon (std::initializer_list<juce::Point<float>> points)
{
    juce::Path path;
    auto first = true;

    for (auto p : points)
    {
        if (first)
            path.startNewSubPath (p);
        else
            path.lineTo (p);

        first = false;
    }

    path.closeSubPath();
    return path;
}

juce::Path rectangle (float x, float y, float w, float h)
{
    juce::Path path;
    path.addRectangle (x, y, w, h);
    return path;
}

/** A D-shape: straight from x to the start of a half-ellipse on the right, top to bottom. */
void addBowl (juce::Path& path, float x, float top, float straightTo, float radiusX, float height)
{
    constexpr float k = 0.5522847f; // Bezier handle length for a quarter-ellipse
    auto radiusY = 0.5f * height;
    auto middle = top + radiusY;

    path.startNewSubPath (x, top);
    path.lineTo (straightTo, top);
    path.cubicTo (straightTo + k * radiusX, top, straightTo + radiusX, middle - k * radiusY, straightTo + radiusX, middle);
    path.cubicTo (straightTo + radiusX, middle + k * radiusY, straightTo + k * radiusX, top + height, straightTo, top + height);
    path.lineTo (x, top + height);
    path.closeSubPath();
}

/** The letter shapes, each a list of pieces in a box at the origin that is capHeight high. */
struct Letter
{
    float width;
    juce::Array<juce::Path> pieces;
};

Letter letterT()
{
    constexpr float w = 212.0f;
    return { w, { rectangle (0.0f, 0.0f, w, bar), rectangle (std::round (0.5f * (w - stem)), 0.0f, stem, capHeight) } };
}

Letter letterA()
{
    constexpr float w = 248.0f;
    constexpr float apex = 50.0f;
    constexpr float a = 0.5f * (w - apex);    // where the outer edges reach the top

    // Inner edges run parallel to the outer ones, one diagonal stroke in.
    auto inner = [] (float y) { return diagonal + a * (capHeight - y) / capHeight; };
    constexpr float barTop = 146.0f;
    constexpr float barBottom = barTop + bar;

    auto shape = polygon ({ { 0.0f, capHeight }, { a, 0.0f }, { w - a, 0.0f }, { w, capHeight } });
    auto innerTop = capHeight - (0.5f * w - diagonal) * capHeight / a;
    shape.addPath (polygon ({ { 0.5f * w, innerTop }, { w - inner (barTop), barTop }, { inner (barTop), barTop } }));
    shape.addPath (polygon ({ { inner (barBottom), barBottom }, { w - inner (barBottom), barBottom },
                              { w - diagonal, capHeight }, { diagonal, capHeight } }));
    shape.setUsingNonZeroWinding (false);
    return { w, { shape } };
}

Letter letterR()
{
    constexpr float w = 206.0f;
    constexpr float bowlHeight = 134.0f;
    constexpr float bowlRadius = 72.0f;
    constexpr float straightTo = w - 8.0f - bowlRadius;

    juce::Path bowl;
    addBowl (bowl, 0.5f * stem, 0.0f, straightTo, bowlRadius, bowlHeight);
    addBowl (bowl, stem, bar, straightTo, bowlRadius - stem, bowlHeight - 2.0f * bar);
    bowl.setUsingNonZeroWinding (false);

    constexpr float legX = straightTo - 20.0f;
    constexpr float legY = bowlHeight - 0.5f * bar;
    auto leg = polygon ({ { legX, legY }, { legX + diagonal, legY }, { w, capHeight }, { w - diagonal, capHeight } });

    return { w, { rectangle (0.0f, 0.0f, stem, capHeight), bowl, leg } };
}

Letter letterV()
{
    constexpr float w = 238.0f;
    constexpr float foot = 50.0f;
    constexpr float a = 0.5f * (w - foot);

    auto shape = polygon ({ { 0.0f, 0.0f }, { w, 0.0f }, { w - a, capHeight }, { a, capHeight } });
    auto innerBottom = (0.5f * w - diagonal) * capHeight / a;
    shape.addPath (polygon ({ { diagonal, 0.0f }, { w - diagonal, 0.0f }, { 0.5f * w, innerBottom } }));
    shape.setUsingNonZeroWinding (false);
    return { w, { shape } };
}

Letter letterO()
{
    constexpr float w = 258.0f;
    constexpr float overshoot = 5.0f;         // round letters reach past the flat ones to look as tall
    constexpr float roundStem = stem + 2.0f;

    juce::Path ring;
    ring.addEllipse (0.0f, -overshoot, w, capHeight + 2.0f * overshoot);
    ring.addEllipse (roundStem, bar + 2.0f - overshoot, w - 2.0f * roundStem, capHeight + 2.0f * overshoot - 2.0f * (bar + 2.0f));
    ring.setUsingNonZeroWinding (false);
    return { w, { ring } };
}

Letter letterL()
{
    constexpr float w = 172.0f;
    return { w, { rectangle (0.0f, 0.0f, stem, capHeight), rectangle (0.0f, capHeight - bar, w, bar) } };
}

Letter letterE()
{
    constexpr float w = 178.0f;
    return { w, { rectangle (0.0f, 0.0f, stem, capHeight),
                  rectangle (0.0f, 0.0f, w, bar),
                  rectangle (0.0f, std::round (0.5f * (capHeight - bar)), w - 12.0f, bar),
                  rectangle (0.0f, capHeight - bar, w, bar) } };
}

Letter letterN()
{
    constexpr float w = 218.0f;
    constexpr float slope = capHeight / (w - diagonal);
    constexpr float rightJoin = (w - stem - diagonal) * slope;
    constexpr float leftJoin = stem * slope;

    auto shape = polygon ({ { 0.0f, capHeight }, { 0.0f, 0.0f }, { diagonal, 0.0f }, { w - stem, rightJoin },
                            { w - stem, 0.0f }, { w, 0.0f }, { w, capHeight }, { w - diagonal, capHeight },
                            { stem, leftJoin }, { stem, capHeight } });
    return { w, { shape } };
}

juce::Image drawLogo()
{
    juce::Image image (juce::Image::ARGB, logoWidth, logoHeight, true, juce::SoftwareImageType());
    juce::Graphics g (image);

    const Letter letters[] = { letterT(), letterA(), letterR(), letterV(), letterO(), letterL(), letterE(), letterN() };

    // Space after each letter, set by eye: diagonals and open sides need less.
    const float spacing[] = { -6.0f, 27.0f, 11.0f, 15.0f, 29.0f, 18.0f, 33.0f, 0.0f };

    auto wordWidth = 0.0f;

    for (int i = 0; i < 8; ++i)
        wordWidth += letters[i].width + spacing[i];

    constexpr float underlineGap = 38.0f;
    constexpr float underlineHeight = 20.0f;
    auto left = std::round (0.5f * (static_cast<float> (logoWidth) - wordWidth));
    auto top = std::round (0.5f * (static_cast<float> (logoHeight) - capHeight - underlineGap - underlineHeight));

    // Pieces of a letter overlap; filling them one by one keeps their union solid.
    g.setColour (juce::Colours::white);
    auto x = left;

    for (int i = 0; i < 8; ++i)
    {
        for (auto& piece : letters[i].pieces)
            g.fillPath (piece, juce::AffineTransform::translation (x, top));

        x += letters[i].width + spacing[i];
    }

    g.setColour (juce::Colour (0xffaec6cf));
    g.fillRoundedRectangle (left, top + capHeight + underlineGap, wordWidth, underlineHeight, 0.5f * underlineHeight);

    return image;
}

//==============================================================================
bool writePng (const juce::Image& image, const juce::File& file)
{
    file.deleteFile();
    juce::FileOutputStream stream (file);

    if (! stream.openedOk())
        return false;

    juce::PNGImageFormat png;
    return png.writeImageToStream (image, stream);
}

bool writePictures (const juce::File& folder)
{
    if (! folder.isDirectory())
    {
        std::cerr << "No such folder: " << folder.getFullPathName() << '\n';
        return false;
    }

    for (auto [name, image] : { std::pair { "background.png", drawBackground() },
                                std::pair { "logo.png", drawLogo() } })
    {
        auto file = folder.getChildFile (name);

        if (! writePng (image, file))
        {
            std::cerr << "Could not write " << file.getFullPathName() << '\n';
            return false;
        }

        std::cout << file.getFullPathName() << '\n';
    }

    return true;
}

} // namespace

int main (int argc, char* argv[])
{
    auto folder = juce::File::getCurrentWorkingDirectory();

    if (argc > 1)
        folder = folder.getChildFile (argv[1]);

    auto written = writePictures (folder);

    // Graphics sets up a font cache even when no text is drawn; release it as an app would.
    juce::DeletedAtShutdown::deleteAll();
    return written ? 0 : 1;
}
