// Piece output lands here.
