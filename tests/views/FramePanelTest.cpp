// Filled in by the work on this part of the program.
