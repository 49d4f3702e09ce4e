"""Data access for the futures desk.

    from pelmora.Pelmora import Pelmora
"""
