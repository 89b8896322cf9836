#pragma once
// The program's identity: every title, caption and version number is read from here.
namespace identita {
inline constexpr char titolo[] = "Saettino Professional";
inline constexpr int versioneMaggiore = 0;
inline constexpr int versioneMinore = 80;
inline constexpr int revisione = 0;
// Per-user settings live under this organization and the title above.
inline constexpr char organizzazione[] = "SaettinoPro";
// The printed report still carries the name and version of its first layout.
inline constexpr char nomeStampa[] = "SaettinoPro 0.70 Beta";
inline constexpr char password[] = "lampionearancio";
inline constexpr char fileDatabase[] = "saettinopro.mb";
} // namespace identita
