#pragma once
// A process's memory as the kernel counts it, for the tests and benchmarks that watch growth.
#include <QString>

// A field of /proc/<Processo>/status in kB ("self": this process): VmRSS, the resident memory
// now, or VmHWM, its peak. -1 when the process or the field is gone.
long memoriaKb(const QString &Processo = QStringLiteral("self"), const char *Campo = "VmRSS");
