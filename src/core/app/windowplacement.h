#pragma once

class SettingsStore;

// The main window's bounds in twips and its state, as kept between runs.
struct WindowPlacement
{
    enum State
    {
        Normal = 0,
        Minimized = 1,
        Maximized = 2
    };

    int left = 0;
    int top = 0;
    int width = 9200;
    int height = 8550;
    State state = Normal;
};

// Reads the stored placement; a value that is not a number keeps its default, and a
// stored state other than 2 opens the window normal.
WindowPlacement loadWindowPlacement(const SettingsStore &store);

// Stores the bounds only when the window is normal, and the state unless it is minimized:
// a maximized window keeps the bounds of its last normal close.
void saveWindowPlacement(const SettingsStore &store, const WindowPlacement &placement);
