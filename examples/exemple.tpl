// Example parameter script: a fingerprint texture.
// Save it under a new name before you run it: Parameters > Save as..., then Texture > Run
// (in French: Paramètres > Enregistrer sous..., then Texture > Calculer).
//
// The reaction model and its named parameters. Models: diffusion, schlogl,
// ginzburglandau, gld1, gld2, maginu, magd1, brusselator, brd1.
model brd1
modpar alpha 3
modpar beta 7
modpar gamma 0.002
// For every component (A, B, ...): reaction strength, diffusion coefficient (0.001 to 1),
// and the initial concentration: mean and noise amplitude.
reaction A 0.01
reaction B 0.01
diffusion A 0.2
diffusion B 1
init A 3 0.2
init B 2.33 0.2
// Domain in points (10 to 600 each way; the texture tiles seamlessly) and run length.
size 200 200
iterations 16000
// A fixed seed gives the same texture every time; 0 takes one from the clock.
randseed 11
// Colour map: gray, rgb, hsl, xyz, cmyk or ycbcr with start and end of each channel.
colormap hsl 20 55 0.9 0.5 25 255
// Write component A as an 8-bit BMP every 4000 iterations (and at the end),
// scaled automatically from its smallest to its largest value.
image256 A t+4000 autoscale
