#pragma once

#include <QString>

class QWidget;

// Draws a window in a skin. A skin is a Qt style sheet kept in a file of its own; the engine loads
// it, is told how far it reaches and whether it is switched on, and applies it to a window.
class SkinEngine {
public:
    // Option bit: the skin reaches the window it is applied to (and its controls and the boxes it
    // owns) rather than every window of the program.
    static constexpr int kThisWindowOnly = 1;

    // Loads the skin; fails when the file cannot be read.
    void loadSkin(const QString& path);
    bool loaded() const { return loaded_; }
    const QString& styleSheet() const { return sheet_; }

    int applyOptions() const { return options_; }
    void setApplyOptions(int options) { options_ = options; }
    // Applying does nothing while the engine is switched off, as it is until told otherwise.
    void setEnabled(bool on) { enabled_ = on; }
    bool enabled() const { return enabled_; }
    // Repaints a shown window at once instead of at its next paint.
    void setRepaintAtOnce(bool on) { repaintAtOnce_ = on; }

    // Draws the window in the loaded skin; fails when no skin is loaded.
    void applyWindow(QWidget& window);

private:
    QString sheet_;
    bool loaded_ = false;
    int options_ = 0;
    bool enabled_ = false;
    bool repaintAtOnce_ = false;
};
