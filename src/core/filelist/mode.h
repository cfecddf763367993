#pragma once

#include <QString>

// The two kinds of service the program works on. The mode box's text decides: "Yahoo"
// is the group archive, and every other text counts as the album service "Zing".
enum class Mode
{
    Yahoo,
    Zing
};

inline Mode modeFromText(const QString &text)
{
    return text == QLatin1String("Yahoo") ? Mode::Yahoo : Mode::Zing;
}

inline QString modeText(Mode mode)
{
    return mode == Mode::Yahoo ? QStringLiteral("Yahoo") : QStringLiteral("Zing");
}
