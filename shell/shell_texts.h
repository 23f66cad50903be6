// Texts of the shell, Windows-1250 bytes once compiled.
#pragma once

inline constexpr char kStatusLoading[] = "Wczytywanie obrazka...";
inline constexpr char kStatusSaving[] = "Zapisywanie wyświetlanego obrazka...";
inline constexpr char kStatusPreferences[] = "Zmiana preferencji...";
inline constexpr char kStatusComputing[] = "Kwindra...";
inline constexpr char kCaptionEpsilon[] = "Uwaga";
inline constexpr char kCaptionAbout[] = "Informacja";
inline constexpr char kTextChooserFailed[] =
    "Nie udało się wybrać pliku (może nazwa jest za długa - najwyżej 255 znaków)";
// Both choosers show BMP files only.
inline constexpr char kBmpFilter[] = "Pliki BMP\0*.BMP\0";
inline constexpr char kAboutFormat[] =
    "Kwindra v0.1b - BRELT\n\nautorzy:\n  Anna Kowalska\n  Jan Nowak\n  Piotr Wiśniewski\n\n\n\n"
    "Piksle w linii: %d\nPunkty krytyczne: %d";
