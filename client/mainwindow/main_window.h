// The fixed 550 x 730 rounded main window. It paints into a persistent image that stands for
// its device context: panels and timers draw into canvas(), then flush the region they drew.
// Main thread only.
#pragma once

#include "core/rect.h"

#include <QImage>
#include <QWidget>

namespace tamovox {

inline constexpr int kMainWindowWidth = 550;
inline constexpr int kMainWindowHeight = 730;

class MainWindow : public QWidget {
public:
    MainWindow();

    QImage& canvas() { return canvas_; }
    // Shows what was drawn into the canvas inside rect.
    void flush(const Rect& rect);
    // The destroy handling: everything that ends the program goes through here.
    void destroyWindow();
    bool isDestroyed() const { return destroyed_; }
    // Counts full repaints: a panel that skips a tick whose picture would not change redraws anyway
    // after one, since the full repaint painted over it.
    int repaintGeneration() const { return repaintGeneration_; }
    void countRepaint() { ++repaintGeneration_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    QImage canvas_;
    bool destroyed_ = false;
    int repaintGeneration_ = 0;
    bool dragging_ = false;
    QPoint dragOffset_;
};

// The main window once created, else null.
MainWindow* mainWindow();

// Creates the window of start-up step 5: frameless, titled "TAMO-VOX", rounded, centred, shown.
MainWindow* createMainWindow();

// Set by the destroy handling; the message loop ends at its first turn once it is set.
bool quitPosted();
void setMainLoopRunning(bool running);

}  // namespace tamovox
