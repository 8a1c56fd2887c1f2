// The modal error box that shows an exception's message to the user.
#pragma once

#include <QString>

class QWidget;

// The text the box shows: the message, with a "." appended when it is not empty
// and its last character sorts after ".".
QString ErrorBoxText(const QString& message);

// Stop icon, OK button, titled with the application title; returns when closed.
void ShowErrorBox(const QString& message, QWidget* parent = nullptr);

// The same box, application-modal, but returns at once: for failures that
// arrive from background threads while the event loop runs.
void OpenErrorBox(const QString& message);
