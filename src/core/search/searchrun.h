#pragma once

#include <QString>

// Timeouts of a search's transfers; tests shorten them.
struct SearchTimeouts
{
    int pageMs = 60000;  // a page that sends nothing for this long ends
    int checkMs = 30000; // a size check that hears nothing for this long ends
};
