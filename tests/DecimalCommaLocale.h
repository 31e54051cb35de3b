#pragma once

#include <clocale>

// Puts in force a locale whose numbers have a decimal comma, as a painter's
// German or French desktop does; false when the system has none. Windows'
// runtime knows its locales by other names than glibc's.
inline bool SetDecimalCommaLocale() {
    for (const char* name :
         {"de_DE.UTF-8", "fr_FR.UTF-8", "German_Germany.1252", "French_France.1252"}) {
        if (std::setlocale(LC_ALL, name))
            return true;
    }
    return false;
}
