#pragma once
// bench_roundtrip --painel: scan-to-reply latency of a server whose panel is read the way a
// shop and a chain read it (/metrics every second, /api/estado ten times a second) against a
// server without a panel, in the same run.
int MedirComPainel(int Rodadas, int Leituras);
