// Filled in by the player.
