// New texture. Every line is: keyword arguments. Lines starting with // are comments.
// After a run, the images are written next to this script: NAME_A000100.bmp and so on.
model brusselator
modpar alpha 3
modpar beta 7
reaction A 0.01
reaction B 0.01
diffusion A 0.2
diffusion B 1
init A 3 0.2
init B 2.33 0.2
size 128 128
iterations 8000
randseed 0
colormap gray
image256 A t+1000 autoscale
