// Knob panel: the audio labels, the three knobs, the two icons and the codec label, once a second.
#include "mainwindow/panels.h"

#include "audio/volume.h"
#include "core/shared_state.h"
#include "imaging/draw_helpers.h"
#include "imaging/knob.h"
#include "imaging/labels.h"
#include "mainwindow/colours.h"
#include "mainwindow/layout.h"
#include "mainwindow/main_window.h"

#include <QPainter>

namespace tamovox {

namespace {
constexpr int kCodecLabelHeight = 12;
constexpr double kParamsKnobAngle = 180.0;
// Knobs, their dots and captions: from the first knob's left dot to the last knob's right dot.
constexpr Rect kKnobArea{10, 200, 280, 310};
}  // namespace

void paintKnobPanel()
{
    SharedState& s = shared();
    MainWindow* window = mainWindow();
    if (!window || s.skin.knobArrow.isNull())
        return;
    QImage& canvas = window->canvas();
    const std::uint32_t background = s.appearance.backgroundColour;
    const float micGain = getCaptureVolume();
    const float volume = getRenderVolume();
    const int kind = s.audio.receivedAudioKind;
    // Once a second the knobs mostly stand still: a tick that would draw the same picture draws nothing.
    struct Picture {
        float micGain, volume;
        int kind;
        std::uint32_t background;
        int generation;
        bool operator==(const Picture&) const = default;
    };
    const Picture picture{micGain, volume, kind, background, window->repaintGeneration()};
    static Picture lastPicture{};
    static bool complete = false;
    if (complete && picture == lastPicture)
        return;
    lastPicture = picture;
    complete = false;

    drawLabel(canvas, "AUDIO LEFT", 245, 179, background);
    drawLabel(canvas, "AUDIO RIGHT", 415, 179, background);
    window->flush({245, 179, 520, 179 + kLabelHeight + 2});

    KnobContext context{&canvas, kKnobRowY, background, 1};
    const bool knobsDrawn =
        drawKnob(context, s.skin.knobParams, kParamsKnobAngle, 25, "PARAMS", s.layout.knobParams) &&
        drawKnob(context, s.skin.knobArrow, knobAngleOfVolume(micGain), 115, "MIC GAIN", s.layout.knobMicGain) &&
        drawKnob(context, s.skin.knobArrow, knobAngleOfVolume(volume), 205, "VOLUME", s.layout.knobVolume);
    window->flush(kKnobArea);
    if (!knobsDrawn)
        return;  // the rest waits for a tick on which every knob could be drawn

    drawScaled(canvas, s.skin.documentationIcon, 315, 610, 30, 30);
    drawScaled(canvas, s.skin.speechIcon, 315, 550, 32, 32);
    window->flush({315, 550, 347, 640});

    const Rect& codec = s.layout.codecLabel;
    {
        QPainter painter(&canvas);
        painter.fillRect(QRect(codec.left, codec.top, codec.width(), codec.height()), colourFromRef(background));
    }
    const char* text = kind == 1 ? "PCM" : kind == 2 ? "OPUS" : nullptr;
    if (text)
        drawCentredText(canvas, text, codec, kCodecLabelHeight, kYellow, background);
    window->flush(codec);
    complete = true;
}

}  // namespace tamovox
