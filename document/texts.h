// The program's own texts, Windows-1250 bytes once compiled.
#pragma once

inline constexpr char kTextOutOfMemory[] = "Brak pamięci!";
inline constexpr char kTextOnly24Bit[] =
    "Niestety możemy pobawić się tylko obrazkami w 24 bitowym kolorze";
inline constexpr char kTextDamagedBmp[] = "Uszkodzony lub nieobsługiwany plik BMP";
inline constexpr char kCaptionWarning[] = "Uwaga!";
inline constexpr char kTextNothingToDisplay[] = "Nie ma co wyświetlać";
inline constexpr char kCaptionDisplay[] = "UWAGA";
inline constexpr char kTextNothingToSave[] = "Nie ma co nagrywać!";
inline constexpr char kTextWriteError[] = "Błąd zapisu pliku!";
inline constexpr char kCaptionError[] = "Błąd";
inline constexpr char kTextNoLineEnd[] = "Nie znaleziono końca linii";
inline constexpr char kTextChainCut[] =
    "Linia jest za długa lub zapętlona - przerwano po 100000 krokach";
inline constexpr char kTextPointsCut[] = "Za dużo punktów krytycznych - zachowano pierwsze 500";
// The tolerance rule, shared by the settings dialog and the command line.
inline constexpr char kTextEpsilonPositive[] = "Epsylon musi być dodatnie";
