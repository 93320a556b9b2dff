#pragma once
#include <QString>

// Byte counts and rates as people read them: binary units with one decimal
// ("289 B", "4.0 KiB", "6.7 MiB", "1.5 GiB").
QString SizeWithUnits(long long bytes);
// A rate in bytes per second: "123.4 KiB/s".
QString RateWithUnits(double bytesPerSecond);
// A transfer's progress: the bytes moved, and the share of the whole when
// the whole is known (total above 0): "4.5 MiB (45%)". The share is rounded
// down, so 100% means all of it.
QString ProgressWithUnits(long long bytes, long long total);
