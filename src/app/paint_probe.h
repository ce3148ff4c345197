#pragma once
// For the benchmark only: with TALLYRUE_EXIT_WHEN_PAINTED set, the program prints
// "painted <ms> cpu <ms> peak <MiB>" (time since the process began, processor time used,
// peak memory) once the main window has run its show sequence and been painted, and then
// quits. Without the variable nothing is installed.
class Tmain;

namespace PaintProbe {

// Installs the probe when the variable is set; returns whether it did.
bool installIfAsked(Tmain *main);

} // namespace PaintProbe
