#pragma once

// The largest resident memory the process has had so far, in bytes.
long long PeakResidentBytes();
