// placeholder until the volume analysis lands
