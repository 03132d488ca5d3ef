// placeholder until the decoder lands
