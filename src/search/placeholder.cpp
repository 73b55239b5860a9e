// The file scanner and search window come later.
