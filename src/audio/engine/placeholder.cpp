// Filled in by the sound layer.
