float x;
float y = 1 x;
