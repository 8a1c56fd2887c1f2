// What the skin's self-drawn controls are to a screen reader: the progress bar
// with its value and caption, the link, the banner, the radio buttons' frame
// and the title bar; and a plain top-level widget is a window. The stock
// buttons, radio buttons and log area already say what they are.
#pragma once

class QAccessibleInterface;
class QObject;
class QString;

// The interface for one of the skin's controls; nullptr for any other object.
QAccessibleInterface* SkinAccessibleFactory(const QString& ClassName, QObject* Object);

// Installs SkinAccessibleFactory once for the application; later calls do nothing.
void InstallSkinAccessibility();
