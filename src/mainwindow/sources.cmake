# Files of this subsystem are added here as it grows.
