#pragma once

class ModelloQuery;

// Does the standings grid, as last refreshed, hold a row with "Giri >= 1"?
// A Null or non-numeric lap count never matches.
bool classificaConGiri(const ModelloQuery &classifica);
