float4 v = {{1, 2}, {3, 4}};
float a[3] = {1, 2, 3 * 2};
int k = 7 % 3;
float4 w = -float4(1, 2, 3, 4) * 2;
