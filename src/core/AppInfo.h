#pragma once

#include <QString>

inline const QString kProductName = QStringLiteral("Vantrelle");

// The program's version, as its package carries it ("0.1").
QString ProgramVersion();
// Address shown in error reports and in the column-type message.
QString SupportAddress();
// Maker's home page opened by the start-up greeting; empty when the build names none.
QString HomePage();

// The application title for a product name: cut before its last space while it is longer than
// 40 characters and still holds a space.
QString AppTitleFor(const QString& productName);
// Sets the application title that message boxes without a title of their own show.
void SetAppTitle();
QString AppTitle();
