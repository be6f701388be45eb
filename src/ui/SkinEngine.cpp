#include "ui/SkinEngine.h"

#include <QApplication>
#include <QFile>
#include <QWidget>

#include "core/Failure.h"

void SkinEngine::loadSkin(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Failure(
            Failure::kPathFileAccessError,
            QStringLiteral("The skin %1 cannot be read: %2").arg(path, file.errorString()));
    sheet_ = QString::fromUtf8(file.readAll());
    loaded_ = true;
}

void SkinEngine::applyWindow(QWidget& window) {
    if (!loaded_)
        throw Failure(Failure::kInvalidProcedureCall, QStringLiteral("No skin is loaded."));
    if (!enabled_) return;
    if (options_ & kThisWindowOnly)
        window.setStyleSheet(sheet_);
    else
        qApp->setStyleSheet(sheet_);
    if (repaintAtOnce_ && window.isVisible()) window.repaint();
}
