// placeholder until the info command lands
