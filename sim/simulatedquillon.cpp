// Placeholder until the simulated device lands.
#include "simulatedquillon.h"
